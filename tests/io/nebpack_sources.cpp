// Builds nebpack's compressor, archive writer and archive verbs into the io tests, which check
// their output against the program's own reader.
#include "../../tools/nebpack/archive_build.cpp"
#include "../../tools/nebpack/archive_list.cpp"
#include "../../tools/nebpack/archive_writer.cpp"
#include "../../tools/nebpack/lzw_encoder.cpp"
