// Builds nebpack's compressor, archive writer and archive verbs into the distribution tests,
// which make their sets with them.
#include "../../tools/nebpack/archive_build.cpp"
#include "../../tools/nebpack/archive_list.cpp"
#include "../../tools/nebpack/archive_writer.cpp"
#include "../../tools/nebpack/lzw_encoder.cpp"
