// Builds nebpack's compressor and archive writer into these tests, which make core archives.
#include "../../tools/nebpack/archive_writer.cpp"
#include "../../tools/nebpack/lzw_encoder.cpp"
