// Builds nebpack's compressor and archive writer into the io tests, which check their output
// against the program's own reader.
#include "../../tools/nebpack/lzw_encoder.cpp"
