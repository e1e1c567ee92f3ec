// The I/O exceptions: every stream failure is raised as one of these, thrown by value.
#pragma once

#include <string>

namespace nebcm {

class IOException {
public:
    virtual ~IOException() = default;
};

// The stream ended inside a typed read.
class EOFException : public IOException {};

// The file could not be opened because it, its directory or its drive is missing, or access was
// denied.
class FileNotFoundException : public IOException {
public:
    explicit FileNotFoundException(std::string name) : name_(std::move(name)) {}
    const std::string& FileName() const { return name_; }

private:
    std::string name_;
};

// Data that was checked once no longer reads as it did: the file that holds it changed, went
// away or could not be read again. Carries the file's name as it was opened.
class SourceChangedException : public IOException {
public:
    explicit SourceChangedException(std::string name) : name_(std::move(name)) {}
    const std::string& FileName() const { return name_; }

private:
    std::string name_;
};

} // namespace nebcm
