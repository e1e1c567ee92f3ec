// The engine's changing system calls, each first asking the installed filter whether to fail.
#include "engine/system_calls_win32.h"

#include <vector>

namespace nebcm {

namespace {
SystemCallFilter* installedFilter = nullptr;
}

SystemCallFilter* SetSystemCallFilter(SystemCallFilter* filter) {
    SystemCallFilter* previous = installedFilter;
    installedFilter = filter;
    return previous;
}

bool SystemCallRefused(SystemCall call) {
    if (installedFilter != nullptr && installedFilter->Fail(call)) {
        ::SetLastError(ERROR_ACCESS_DENIED);
        return true;
    }
    return false;
}

namespace sys {

DWORD GetFileAttributes(const std::string& path) {
    if (SystemCallRefused(SystemCall::GetAttributes)) {
        return INVALID_FILE_ATTRIBUTES;
    }
    return ::GetFileAttributesA(path.c_str());
}

bool SetFileAttributes(const std::string& path, DWORD attributes) {
    if (SystemCallRefused(SystemCall::SetAttributes)) {
        return false;
    }
    return ::SetFileAttributesA(path.c_str(), attributes) != FALSE;
}

HANDLE OpenExistingFile(const std::string& path, DWORD access) {
    if (SystemCallRefused(SystemCall::OpenFile)) {
        return INVALID_HANDLE_VALUE;
    }
    return ::CreateFileA(path.c_str(), access, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                         nullptr);
}

bool GetFileTime(HANDLE file, FILETIME* creation, FILETIME* access, FILETIME* write) {
    if (SystemCallRefused(SystemCall::GetFileTime)) {
        return false;
    }
    return ::GetFileTime(file, creation, access, write) != FALSE;
}

bool SetFileTime(HANDLE file, const FILETIME* creation, const FILETIME* access,
                 const FILETIME* write) {
    if (SystemCallRefused(SystemCall::SetFileTime)) {
        return false;
    }
    return ::SetFileTime(file, creation, access, write) != FALSE;
}

std::string GetTempPath() {
    if (SystemCallRefused(SystemCall::GetTempPath)) {
        return std::string();
    }
    char buffer[MAX_PATH + 1] = {};
    DWORD length = ::GetTempPathA(sizeof buffer, buffer);
    if (length == 0 || length > MAX_PATH) {
        return std::string();
    }
    return std::string(buffer, length);
}

std::string GetTempFileName(const std::string& directory, const char* prefix) {
    if (SystemCallRefused(SystemCall::GetTempFileName)) {
        return std::string();
    }
    char buffer[MAX_PATH + 1] = {};
    if (::GetTempFileNameA(directory.c_str(), prefix, 0, buffer) == 0) {
        return std::string();
    }
    return buffer;
}

bool CopyFile(const std::string& source, const std::string& destination, bool failIfExists) {
    if (SystemCallRefused(SystemCall::CopyFile)) {
        return false;
    }
    return ::CopyFileA(source.c_str(), destination.c_str(), failIfExists ? TRUE : FALSE) != FALSE;
}

bool DeleteFile(const std::string& path) {
    if (SystemCallRefused(SystemCall::DeleteFile)) {
        return false;
    }
    return ::DeleteFileA(path.c_str()) != FALSE;
}

bool CreateDirectory(const std::string& path) {
    if (SystemCallRefused(SystemCall::CreateDirectory)) {
        return false;
    }
    return ::CreateDirectoryA(path.c_str(), nullptr) != FALSE;
}

bool RemoveDirectory(const std::string& path) {
    if (SystemCallRefused(SystemCall::RemoveDirectory)) {
        return false;
    }
    return ::RemoveDirectoryA(path.c_str()) != FALSE;
}

HANDLE FindFirstFile(const std::string& pattern, WIN32_FIND_DATAA* data) {
    if (SystemCallRefused(SystemCall::FindFiles)) {
        return INVALID_HANDLE_VALUE;
    }
    return ::FindFirstFileA(pattern.c_str(), data);
}

LONG RegOpenKey(HKEY parent, const std::string& name, REGSAM access, HKEY* key) {
    if (SystemCallRefused(SystemCall::OpenKey)) {
        return ERROR_ACCESS_DENIED;
    }
    return ::RegOpenKeyExA(parent, name.c_str(), 0, access, key);
}

LONG RegCreateKey(HKEY parent, const std::string& name, HKEY* key, bool* created) {
    *created = false;
    if (SystemCallRefused(SystemCall::CreateKey)) {
        return ERROR_ACCESS_DENIED;
    }
    DWORD disposition = 0;
    // The class argument is a writable string in the older headers.
    char noClass[1] = {};
    LONG result = ::RegCreateKeyExA(parent, name.c_str(), 0, noClass, REG_OPTION_NON_VOLATILE,
                                    KEY_ALL_ACCESS, nullptr, key, &disposition);
    *created = result == ERROR_SUCCESS && disposition == REG_CREATED_NEW_KEY;
    return result;
}

LONG RegEnumKey(HKEY key, DWORD index, char* name, DWORD* nameSize) {
    if (SystemCallRefused(SystemCall::EnumKey)) {
        return ERROR_ACCESS_DENIED;
    }
    FILETIME written;
    return ::RegEnumKeyExA(key, index, name, nameSize, nullptr, nullptr, nullptr, &written);
}

LONG RegEnumValue(HKEY key, DWORD index, char* name, DWORD* nameSize) {
    if (SystemCallRefused(SystemCall::EnumValue)) {
        return ERROR_ACCESS_DENIED;
    }
    return ::RegEnumValueA(key, index, name, nameSize, nullptr, nullptr, nullptr, nullptr);
}

LONG RegQueryValue(HKEY key, const char* name, DWORD* type, BYTE* data, DWORD* size) {
    if (SystemCallRefused(SystemCall::QueryValue)) {
        return ERROR_ACCESS_DENIED;
    }
    return ::RegQueryValueExA(key, name, nullptr, type, data, size);
}

LONG RegSetValue(HKEY key, const char* name, DWORD type, const BYTE* data, DWORD size) {
    if (SystemCallRefused(SystemCall::SetValue)) {
        return ERROR_ACCESS_DENIED;
    }
    return ::RegSetValueExA(key, name, 0, type, data, size);
}

LONG RegDeleteValue(HKEY key, const char* name) {
    if (SystemCallRefused(SystemCall::DeleteValue)) {
        return ERROR_ACCESS_DENIED;
    }
    return ::RegDeleteValueA(key, name);
}

LONG RegDeleteKey(HKEY parent, const std::string& name) {
    if (SystemCallRefused(SystemCall::DeleteKey)) {
        return ERROR_ACCESS_DENIED;
    }
    return ::RegDeleteKeyA(parent, name.c_str());
}

} // namespace sys
} // namespace nebcm
