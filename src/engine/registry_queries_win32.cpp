// Questions about registry keys that change nothing: whether a key is empty.
#include <windows.h>

#include "engine/registry.h"
#include "engine/registry_open_win32.h"

namespace nebcm {

bool IsRegistryKeyEmpty(const std::string& path) {
    RegistryKey key;
    if (OpenRegistryKeyForReading(path, key) != ERROR_SUCCESS) {
        return false;
    }
    DWORD subkeys = 0;
    DWORD values = 0;
    return ::RegQueryInfoKeyA(key.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr,
                              &values, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
           subkeys == 0 && values == 0;
}

LONG OpenRegistryKeyForReading(const std::string& path, RegistryKey& key) {
    const struct {
        const char* name;
        HKEY key;
    } roots[] = {
        {"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},     {"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
        {"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},   {"HKEY_USERS", HKEY_USERS},
        {"HKEY_CURRENT_CONFIG", HKEY_CURRENT_CONFIG}, {"HKEY_DYN_DATA", HKEY_DYN_DATA},
    };
    std::size_t slash = path.find('\\');
    for (const auto& root : roots) {
        if (slash != std::string::npos && path.compare(0, slash, root.name) == 0) {
            return sys::RegOpenKey(root.key, path.substr(slash + 1), KEY_READ, key.put());
        }
    }
    return ERROR_FILE_NOT_FOUND;
}

} // namespace nebcm
