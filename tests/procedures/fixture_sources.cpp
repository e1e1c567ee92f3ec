// Builds the engine tests' scratch fixture into the procedure tests.
#include "../engine/engine_fixture.cpp"
