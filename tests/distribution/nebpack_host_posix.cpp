// Builds nebpack's POSIX machine services into the distribution tests.
#include "../../tools/nebpack/host_posix.cpp"
