// Builds the procedure tests' platform fixture, the engine tests' scratch fixture, nebpack's
// archive writer and the failing operator new into the installation allocation tests.
#include "../fixture_sources.cpp"
#include "../../distribution/memory/failing_allocation.cpp"
#include "../platform_fixture.cpp"
