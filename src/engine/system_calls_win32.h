// The system calls through which the engine changes files, the registry and shell links, each with
// a filter that tests install to make a chosen call fail as the system would.
#pragma once

#include <windows.h>

#include <string>

namespace nebcm {

enum class SystemCall {
    GetAttributes,
    SetAttributes,
    OpenFile,
    GetFileTime,
    SetFileTime,
    GetTempPath,
    GetTempFileName,
    CopyFile,
    DeleteFile,
    CreateDirectory,
    RemoveDirectory,
    FindFiles,
    OpenKey,
    CreateKey,
    EnumKey,
    EnumValue,
    QueryValue,
    SetValue,
    DeleteValue,
    DeleteKey,
    CreateShellLink,
    LoadShellLink,
    SaveShellLink,
};

// Asked before each call; true makes the call fail with "access denied" without reaching the
// system.
class SystemCallFilter {
public:
    virtual ~SystemCallFilter() = default;
    virtual bool Fail(SystemCall call) = 0;
};

// Installs a filter (null removes it) and returns the one it replaces. The filter is not owned.
SystemCallFilter* SetSystemCallFilter(SystemCallFilter* filter);

// True when the installed filter refuses the call; the thread's last error is then set.
bool SystemCallRefused(SystemCall call);

namespace sys {

DWORD GetFileAttributes(const std::string& path);
bool SetFileAttributes(const std::string& path, DWORD attributes);
// CreateFile for an existing file, with no sharing.
HANDLE OpenExistingFile(const std::string& path, DWORD access);
bool GetFileTime(HANDLE file, FILETIME* creation, FILETIME* access, FILETIME* write);
bool SetFileTime(HANDLE file, const FILETIME* creation, const FILETIME* access,
                 const FILETIME* write);
// The temporary directory, or empty.
std::string GetTempPath();
// A new, empty, uniquely named file in the directory, or empty.
std::string GetTempFileName(const std::string& directory, const char* prefix);
bool CopyFile(const std::string& source, const std::string& destination, bool failIfExists);
bool DeleteFile(const std::string& path);
bool CreateDirectory(const std::string& path);
bool RemoveDirectory(const std::string& path);
HANDLE FindFirstFile(const std::string& pattern, WIN32_FIND_DATAA* data);

LONG RegOpenKey(HKEY parent, const std::string& name, REGSAM access, HKEY* key);
// Creates the key or opens it where it exists already; `created` tells which.
LONG RegCreateKey(HKEY parent, const std::string& name, HKEY* key, bool* created);
LONG RegEnumKey(HKEY key, DWORD index, char* name, DWORD* nameSize);
LONG RegEnumValue(HKEY key, DWORD index, char* name, DWORD* nameSize);
LONG RegQueryValue(HKEY key, const char* name, DWORD* type, BYTE* data, DWORD* size);
LONG RegSetValue(HKEY key, const char* name, DWORD type, const BYTE* data, DWORD size);
LONG RegDeleteValue(HKEY key, const char* name);
LONG RegDeleteKey(HKEY parent, const std::string& name);

} // namespace sys
} // namespace nebcm
