// Builds nebpack's Win32 machine services into the distribution tests.
#include "../../tools/nebpack/host_win32.cpp"
