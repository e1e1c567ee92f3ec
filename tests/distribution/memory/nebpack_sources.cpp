// Builds nebpack's compressor and archive writer into the allocation tests, which make their sets
// with them.
#include "../../../tools/nebpack/archive_writer.cpp"
#include "../../../tools/nebpack/lzw_encoder.cpp"
