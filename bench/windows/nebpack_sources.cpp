// Builds nebpack's compressor and archive writer into the benchmark, which packs its own sets.
#include "../../tools/nebpack/archive_writer.cpp"
#include "../../tools/nebpack/lzw_encoder.cpp"
