// Builds the logic of nebpack's platform, medium, diff, strict, entry comparison and progress
// parts into the distribution tests.
#include "../../tools/nebpack/diff_tool.cpp"
#include "../../tools/nebpack/medium_tool.cpp"
#include "../../tools/nebpack/platforms.cpp"
#include "../../tools/nebpack/progress.cpp"
#include "../../tools/nebpack/strict_check.cpp"
