// Builds the engine tests' scratch fixture into the platform procedure tests.
#include "../engine/engine_fixture.cpp"
