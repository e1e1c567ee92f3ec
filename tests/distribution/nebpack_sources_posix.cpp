// Builds nebpack's POSIX directory walk into the distribution tests.
#include "../../tools/nebpack/dir_walk_posix.cpp"
