// File streams over Win32 file handles.
#include <windows.h>

#include "io/streams.h"

namespace nebcm {

struct FileInputStream::Handle {
    HANDLE h = INVALID_HANDLE_VALUE;
};

struct FileOutputStream::Handle {
    HANDLE h = INVALID_HANDLE_VALUE;
};

namespace {

void CloseHandleOnce(HANDLE& h) {
    if (h != INVALID_HANDLE_VALUE) {
        ::CloseHandle(h);
        h = INVALID_HANDLE_VALUE;
    }
}

DWORD Position(HANDLE h) {
    SetLastError(NO_ERROR);
    DWORD pos = ::SetFilePointer(h, 0, nullptr, FILE_CURRENT);
    if (pos == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR) {
        throw IOException();
    }
    return pos;
}

DWORD Size(HANDLE h) {
    SetLastError(NO_ERROR);
    DWORD size = ::GetFileSize(h, nullptr);
    if (size == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) {
        throw IOException();
    }
    return size;
}

} // namespace

FileInputStream::FileInputStream(const std::string& name) : handle_(std::make_unique<Handle>()) {
    HANDLE h = ::CreateFileA(name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
            error == ERROR_ACCESS_DENIED || error == ERROR_INVALID_DRIVE) {
            throw FileNotFoundException(name);
        }
        throw IOException();
    }
    handle_->h = h;
}

FileInputStream::~FileInputStream() {
    CloseHandleOnce(handle_->h);
}

bool FileInputStream::IsOpen() const {
    return handle_->h != INVALID_HANDLE_VALUE;
}

void FileInputStream::Close() {
    CloseHandleOnce(handle_->h);
}

bool FileInputStream::AtEnd() {
    if (!IsOpen()) {
        throw IOException();
    }
    return Size(handle_->h) == Position(handle_->h);
}

std::uint32_t FileInputStream::Skip(std::uint32_t n) {
    if (!IsOpen()) {
        throw IOException();
    }
    DWORD pos = Position(handle_->h);
    DWORD size = Size(handle_->h);
    DWORD left = size > pos ? size - pos : 0;
    DWORD step = n < left ? n : left;
    SetLastError(NO_ERROR);
    if (::SetFilePointer(handle_->h, static_cast<LONG>(pos + step), nullptr, FILE_BEGIN) ==
            INVALID_SET_FILE_POINTER &&
        GetLastError() != NO_ERROR) {
        throw IOException();
    }
    return step;
}

int FileInputStream::Read() {
    std::uint8_t b = 0;
    return Read(&b, 1) == 1 ? b : -1;
}

std::uint32_t FileInputStream::Read(std::uint8_t* buffer, std::uint32_t n) {
    if (!IsOpen()) {
        throw IOException();
    }
    DWORD got = 0;
    if (!::ReadFile(handle_->h, buffer, n, &got, nullptr)) {
        throw IOException();
    }
    return got;
}

void FileInputStream::Seek(std::uint32_t position) {
    if (!IsOpen()) {
        throw IOException();
    }
    // With the high half given, the low half counts as unsigned, so 2 GB and more work too.
    LONG high = 0;
    SetLastError(NO_ERROR);
    if (::SetFilePointer(handle_->h, static_cast<LONG>(position), &high, FILE_BEGIN) ==
            INVALID_SET_FILE_POINTER &&
        GetLastError() != NO_ERROR) {
        throw IOException();
    }
}

std::uint64_t FileInputStream::Length() {
    if (!IsOpen()) {
        throw IOException();
    }
    return Size(handle_->h);
}

std::uint64_t FileInputStream::ChangeStamp() {
    FILETIME written;
    if (!IsOpen() || !::GetFileTime(handle_->h, nullptr, nullptr, &written)) {
        throw IOException();
    }
    return (static_cast<std::uint64_t>(written.dwHighDateTime) << 32) | written.dwLowDateTime;
}

FileOutputStream::FileOutputStream(const std::string& name) : handle_(std::make_unique<Handle>()) {
    HANDLE h = ::CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        throw IOException();
    }
    handle_->h = h;
}

FileOutputStream::~FileOutputStream() {
    CloseHandleOnce(handle_->h);
}

bool FileOutputStream::IsOpen() const {
    return handle_->h != INVALID_HANDLE_VALUE;
}

void FileOutputStream::Close() {
    CloseHandleOnce(handle_->h);
}

void FileOutputStream::Flush() {
    if (!IsOpen()) {
        throw IOException();
    }
    if (!::FlushFileBuffers(handle_->h)) {
        throw IOException();
    }
}

void FileOutputStream::Write(std::uint8_t byte) {
    Write(&byte, 1);
}

void FileOutputStream::Write(const std::uint8_t* buffer, std::uint32_t n) {
    if (!IsOpen()) {
        throw IOException();
    }
    DWORD put = 0;
    if (!::WriteFile(handle_->h, buffer, n, &put, nullptr) || put != n) {
        throw IOException();
    }
}

} // namespace nebcm
