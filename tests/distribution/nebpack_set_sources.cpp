// Builds the logic of nebpack's set verbs into the distribution tests.
#include "../../tools/nebpack/set_tool.cpp"
