// Builds nebpack's POSIX file output into the distribution tests.
#include "../../tools/nebpack/output_tree_posix.cpp"
