// Byte and text streams: the interface chain and the file, buffered, memory and text
// implementations.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "io/io_exceptions.h"

namespace nebcm {

// Every stream derives virtually from this chain, so a class that is both a text and a data
// stream holds a single Stream part.
class Stream {
public:
    virtual ~Stream() = default;
    virtual bool IsOpen() const = 0;
    virtual void Close() = 0;
};

class InputStream : public virtual Stream {
public:
    virtual bool AtEnd() = 0;
};

class OutputStream : public virtual Stream {
public:
    virtual void Flush() = 0;
};

class DataInputStream : public virtual InputStream {
public:
    virtual std::uint32_t Skip(std::uint32_t n) = 0;
    // The next byte (0..255), or -1 at the end.
    virtual int Read() = 0;
    // Up to n bytes; the count read, short only at the end.
    virtual std::uint32_t Read(std::uint8_t* buffer, std::uint32_t n) = 0;
    // Typed reads raise EOFException when the stream ends inside them.
    virtual std::uint8_t ReadU8();
    virtual std::uint16_t ReadU16BE();
    virtual std::uint16_t ReadU16LE();
    virtual std::uint32_t ReadU32BE();
    virtual std::uint32_t ReadU32LE();
};

class DataOutputStream : public virtual OutputStream {
public:
    virtual void Write(std::uint8_t byte) = 0;
    virtual void Write(const std::uint8_t* buffer, std::uint32_t n) = 0;
    virtual void WriteU8(std::uint8_t v);
    virtual void WriteU16BE(std::uint16_t v);
    virtual void WriteU16LE(std::uint16_t v);
    virtual void WriteU32BE(std::uint32_t v);
    virtual void WriteU32LE(std::uint32_t v);
};

class TextInputStream : public virtual InputStream {
public:
    // The next character (0..255), or -1 at the end; CR LF reads as one LF.
    virtual int ReadChar() = 0;
    // One line including its LF; false only at the end with nothing read.
    virtual bool ReadLine(std::string& line) = 0;
    virtual int LineNumber() const = 0;
};

class TextOutputStream : public virtual OutputStream {
public:
    // printf-style; every LF is written as CR LF.
    void Print(const char* format, ...)
#if defined(__GNUC__)
        __attribute__((format(printf, 2, 3)))
#endif
        ;
    virtual void PrintV(const char* format, va_list args) = 0;
};

// A file opened for reading (readers may share it). Missing file, directory or drive, or access
// denied, raise FileNotFoundException; other failures IOException.
class FileInputStream : public DataInputStream {
public:
    explicit FileInputStream(const std::string& name);
    ~FileInputStream() override;
    FileInputStream(const FileInputStream&) = delete;
    FileInputStream& operator=(const FileInputStream&) = delete;

    bool IsOpen() const override;
    void Close() override;
    bool AtEnd() override;
    std::uint32_t Skip(std::uint32_t n) override;
    int Read() override;
    std::uint32_t Read(std::uint8_t* buffer, std::uint32_t n) override;
    using DataInputStream::ReadU8;
    // Moves to an absolute position; a position past the end reads as the end.
    void Seek(std::uint32_t position);
    // The file's length and a stamp of its last change, as they are now.
    std::uint64_t Length();
    std::uint64_t ChangeStamp();

private:
    struct Handle;
    std::unique_ptr<Handle> handle_;
};

// A file created (or truncated) for writing, not shared.
class FileOutputStream : public DataOutputStream {
public:
    explicit FileOutputStream(const std::string& name);
    ~FileOutputStream() override;
    FileOutputStream(const FileOutputStream&) = delete;
    FileOutputStream& operator=(const FileOutputStream&) = delete;

    bool IsOpen() const override;
    void Close() override;
    void Flush() override;
    void Write(std::uint8_t byte) override;
    void Write(const std::uint8_t* buffer, std::uint32_t n) override;

private:
    struct Handle;
    std::unique_ptr<Handle> handle_;
};

// Reads its source in blocks; never owns or closes the source.
class BufferedInputStream : public DataInputStream {
public:
    BufferedInputStream(DataInputStream& source, std::uint32_t size);
    ~BufferedInputStream() override;

    bool IsOpen() const override { return open_; }
    void Close() override { open_ = false; }
    bool AtEnd() override;
    std::uint32_t Skip(std::uint32_t n) override;
    int Read() override;
    std::uint32_t Read(std::uint8_t* buffer, std::uint32_t n) override;

private:
    void CheckOpen() const;
    DataInputStream& source_;
    bool open_ = true;
    std::vector<std::uint8_t> buffer_;
    std::uint32_t count_ = 0;
    std::uint32_t position_ = 0;
};

// Collects writes and hands them on in blocks; closing (or destroying) flushes the last bytes.
// Never owns or closes the target.
class BufferedOutputStream : public DataOutputStream {
public:
    BufferedOutputStream(DataOutputStream& target, std::uint32_t size);
    ~BufferedOutputStream() override;

    bool IsOpen() const override { return open_; }
    void Close() override;
    void Flush() override;
    void Write(std::uint8_t byte) override;
    void Write(const std::uint8_t* buffer, std::uint32_t n) override;

private:
    void CheckOpen() const;
    DataOutputStream& target_;
    bool open_ = true;
    std::vector<std::uint8_t> buffer_;
    std::uint32_t count_ = 0;
};

// Reads its own copy of a block of memory.
class MemoryInputStream : public DataInputStream {
public:
    MemoryInputStream(const std::uint8_t* data, std::uint32_t size);
    // Takes the bytes over instead of copying them.
    explicit MemoryInputStream(std::vector<std::uint8_t> data);

    bool IsOpen() const override { return open_; }
    void Close() override;
    bool AtEnd() override;
    std::uint32_t Skip(std::uint32_t n) override;
    int Read() override;
    std::uint32_t Read(std::uint8_t* buffer, std::uint32_t n) override;

private:
    void CheckOpen() const;
    std::vector<std::uint8_t> data_;
    bool open_ = true;
    std::uint32_t position_ = 0;
};

// Text lines over a data stream, with one character of look-ahead to fold CR LF into LF and
// line numbering starting at firstLine. Never owns or closes the source.
class LineReader : public TextInputStream {
public:
    LineReader(DataInputStream& source, int firstLine);

    bool IsOpen() const override { return open_; }
    void Close() override { open_ = false; }
    bool AtEnd() override;
    int ReadChar() override;
    bool ReadLine(std::string& line) override;
    int LineNumber() const override { return lineNumber_; }

private:
    void CheckOpen() const;
    DataInputStream& source_;
    bool open_ = true;
    int lineNumber_;
    int previous_ = -1;
    int lookAhead_ = -1;
};

// printf-style text onto a data stream, every LF written as CR LF. Never owns the target.
class TextWriter : public TextOutputStream {
public:
    explicit TextWriter(DataOutputStream& target);

    bool IsOpen() const override { return open_; }
    void Close() override { open_ = false; }
    void Flush() override;
    void PrintV(const char* format, va_list args) override;
    using TextOutputStream::Print;

private:
    void CheckOpen() const;
    DataOutputStream& target_;
    bool open_ = true;
};

// A text file read line by line: file, 512-byte buffer and line reader (from line 1), owned
// together.
class TextFileReader : public TextInputStream {
public:
    explicit TextFileReader(const std::string& name);
    ~TextFileReader() override;

    bool IsOpen() const override;
    void Close() override;
    bool AtEnd() override;
    int ReadChar() override;
    bool ReadLine(std::string& line) override;
    int LineNumber() const override;

private:
    std::unique_ptr<FileInputStream> file_;
    std::unique_ptr<BufferedInputStream> buffer_;
    std::unique_ptr<LineReader> text_;
};

// A text file written with CR LF line ends: file, 512-byte buffer and writer, owned together.
// Close writes the last bytes; destroying without Close also writes them (errors then go unseen).
class TextFileWriter : public TextOutputStream {
public:
    explicit TextFileWriter(const std::string& name);
    ~TextFileWriter() override;

    bool IsOpen() const override;
    void Close() override;
    void Flush() override;
    void PrintV(const char* format, va_list args) override;
    using TextOutputStream::Print;

private:
    std::unique_ptr<FileOutputStream> file_;
    std::unique_ptr<BufferedOutputStream> buffer_;
    std::unique_ptr<TextWriter> text_;
};

// Every buffered stream of the program uses this buffer size.
inline constexpr std::uint32_t StreamBufferSize = 512;

} // namespace nebcm
