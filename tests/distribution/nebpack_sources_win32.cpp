// Builds nebpack's Win32 directory walk into the distribution tests.
#include "../../tools/nebpack/dir_walk_win32.cpp"
