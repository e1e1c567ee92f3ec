// Writes a configuration as component database text, the form in which the installed configuration
// is stored.
#pragma once

#include "io/streams.h"
#include "model/extension.h"

namespace nebcm {

// Produces the installed-database dialect: no preprocessor directives, a core with its base and
// Java dispatcher, every other extension with its package, dependencies and external declarations.
// A configuration that is valid as an installed configuration reads back to an equal one.
class ComponentDatabaseWriter {
public:
    // One section per extension, in the configuration's order, each followed by an empty line.
    // Always true: opening, closing and failures of the stream (IOException) are the caller's.
    static bool Write(const Configuration& configuration, TextOutputStream& out);
};

} // namespace nebcm
