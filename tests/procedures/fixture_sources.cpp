// Builds the engine tests' scratch fixture and nebpack's archive writer into the procedure tests.
#include "../../tools/nebpack/archive_writer.cpp"
#include "../../tools/nebpack/lzw_encoder.cpp"
#include "../engine/engine_fixture.cpp"
