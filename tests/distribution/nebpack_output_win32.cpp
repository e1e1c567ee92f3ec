// Builds nebpack's Win32 file output into the distribution tests.
#include "../../tools/nebpack/output_tree_win32.cpp"
