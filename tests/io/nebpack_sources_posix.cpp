// Builds nebpack's POSIX directory walk into the io tests.
#include "../../tools/nebpack/dir_walk_posix.cpp"
