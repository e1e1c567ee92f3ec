// Opening a registry key by its full text path for reading, for code that reads more than the
// text operations of the registry layer allow (values of any length).
#pragma once

#include <windows.h>

#include <string>

#include "engine/system_calls_win32.h"
#include "platform/handles_win32.h"

namespace nebcm {

// The key at the path ("HKEY_LOCAL_MACHINE\..."), opened for reading through the filtered system
// calls; ERROR_FILE_NOT_FOUND for a root the path does not start with.
LONG OpenRegistryKeyForReading(const std::string& path, RegistryKey& key);

} // namespace nebcm
