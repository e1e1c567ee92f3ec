// Typed reads and writes, buffering, memory input, line reading and text writing.
#include "io/streams.h"

#include <cstring>

#include "common/messages.h"

namespace nebcm {

// ---- typed reads and writes, the same for every stream ----

std::uint8_t DataInputStream::ReadU8() {
    int b = Read();
    if (b < 0) {
        throw EOFException();
    }
    return static_cast<std::uint8_t>(b);
}

std::uint16_t DataInputStream::ReadU16BE() {
    std::uint16_t b0 = ReadU8();
    std::uint16_t b1 = ReadU8();
    return static_cast<std::uint16_t>(b0 * 256 + b1);
}

std::uint16_t DataInputStream::ReadU16LE() {
    std::uint16_t b0 = ReadU8();
    std::uint16_t b1 = ReadU8();
    return static_cast<std::uint16_t>(b0 + b1 * 256);
}

std::uint32_t DataInputStream::ReadU32BE() {
    std::uint32_t b0 = ReadU8();
    std::uint32_t b1 = ReadU8();
    std::uint32_t b2 = ReadU8();
    std::uint32_t b3 = ReadU8();
    return (b0 << 24) | (b1 << 16) | (b2 << 8) | b3;
}

std::uint32_t DataInputStream::ReadU32LE() {
    std::uint32_t b0 = ReadU8();
    std::uint32_t b1 = ReadU8();
    std::uint32_t b2 = ReadU8();
    std::uint32_t b3 = ReadU8();
    return b0 | (b1 << 8) | (b2 << 16) | (b3 << 24);
}

void DataOutputStream::WriteU8(std::uint8_t v) {
    Write(v);
}

void DataOutputStream::WriteU16BE(std::uint16_t v) {
    Write(static_cast<std::uint8_t>(v >> 8));
    Write(static_cast<std::uint8_t>(v));
}

void DataOutputStream::WriteU16LE(std::uint16_t v) {
    Write(static_cast<std::uint8_t>(v));
    Write(static_cast<std::uint8_t>(v >> 8));
}

void DataOutputStream::WriteU32BE(std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        Write(static_cast<std::uint8_t>(v >> shift));
    }
}

void DataOutputStream::WriteU32LE(std::uint32_t v) {
    for (int shift = 0; shift <= 24; shift += 8) {
        Write(static_cast<std::uint8_t>(v >> shift));
    }
}

void TextOutputStream::Print(const char* format, ...) {
    va_list args;
    va_start(args, format);
    try {
        PrintV(format, args);
    } catch (...) {
        va_end(args);
        throw;
    }
    va_end(args);
}

// ---- BufferedInputStream ----

BufferedInputStream::BufferedInputStream(DataInputStream& source, std::uint32_t size)
    : source_(source), buffer_(size == 0 ? 1 : size) {}

BufferedInputStream::~BufferedInputStream() = default;

void BufferedInputStream::CheckOpen() const {
    if (!open_) {
        throw IOException();
    }
}

bool BufferedInputStream::AtEnd() {
    CheckOpen();
    if (position_ < count_) {
        return false;
    }
    return source_.AtEnd();
}

int BufferedInputStream::Read() {
    CheckOpen();
    if (position_ >= count_) {
        count_ = source_.Read(buffer_.data(), static_cast<std::uint32_t>(buffer_.size()));
        position_ = 0;
        if (count_ == 0) {
            return -1;
        }
    }
    return buffer_[position_++];
}

std::uint32_t BufferedInputStream::Read(std::uint8_t* buffer, std::uint32_t n) {
    CheckOpen();
    std::uint32_t done = 0;
    while (done < n) {
        // Hand out what the buffer holds in one go; refill through Read() when it is empty.
        if (position_ < count_) {
            std::uint32_t take = count_ - position_;
            if (take > n - done) {
                take = n - done;
            }
            std::memcpy(buffer + done, buffer_.data() + position_, take);
            position_ += take;
            done += take;
            continue;
        }
        int b = Read();
        if (b < 0) {
            break;
        }
        buffer[done++] = static_cast<std::uint8_t>(b);
    }
    return done;
}

std::uint32_t BufferedInputStream::Skip(std::uint32_t n) {
    CheckOpen();
    std::uint32_t available = count_ - position_;
    if (n <= available) {
        position_ += n;
        return n;
    }
    position_ = count_;
    return available + source_.Skip(n - available);
}

// ---- BufferedOutputStream ----

BufferedOutputStream::BufferedOutputStream(DataOutputStream& target, std::uint32_t size)
    : target_(target), buffer_(size == 0 ? 1 : size) {}

BufferedOutputStream::~BufferedOutputStream() {
    if (open_) {
        try {
            Close();
        } catch (const IOException&) {
            // A destructor cannot report; whoever needs to know calls Close first.
        }
    }
}

void BufferedOutputStream::CheckOpen() const {
    if (!open_) {
        throw IOException();
    }
}

void BufferedOutputStream::Flush() {
    CheckOpen();
    if (count_ > 0) {
        std::uint32_t n = count_;
        count_ = 0;
        target_.Write(buffer_.data(), n);
    }
}

void BufferedOutputStream::Close() {
    if (!open_) {
        throw IOException();
    }
    try {
        Flush();
    } catch (...) {
        open_ = false;
        throw;
    }
    open_ = false;
}

void BufferedOutputStream::Write(std::uint8_t byte) {
    CheckOpen();
    if (count_ == buffer_.size()) {
        Flush();
    }
    buffer_[count_++] = byte;
}

void BufferedOutputStream::Write(const std::uint8_t* buffer, std::uint32_t n) {
    CheckOpen();
    // The same as n single writes: the buffer goes to the target whenever it is full.
    while (n > 0) {
        if (count_ == buffer_.size()) {
            Flush();
        }
        const std::uint32_t room = static_cast<std::uint32_t>(buffer_.size()) - count_;
        const std::uint32_t take = n < room ? n : room;
        std::memcpy(buffer_.data() + count_, buffer, take);
        count_ += take;
        buffer += take;
        n -= take;
    }
}

// ---- MemoryInputStream ----

MemoryInputStream::MemoryInputStream(const std::uint8_t* data, std::uint32_t size)
    : data_(data, data + size) {}

MemoryInputStream::MemoryInputStream(std::vector<std::uint8_t> data) : data_(std::move(data)) {}

void MemoryInputStream::CheckOpen() const {
    if (!open_) {
        throw IOException();
    }
}

void MemoryInputStream::Close() {
    std::vector<std::uint8_t>().swap(data_);
    open_ = false;
}

bool MemoryInputStream::AtEnd() {
    CheckOpen();
    return position_ >= data_.size();
}

int MemoryInputStream::Read() {
    CheckOpen();
    if (position_ >= data_.size()) {
        return -1;
    }
    return data_[position_++];
}

std::uint32_t MemoryInputStream::Read(std::uint8_t* buffer, std::uint32_t n) {
    CheckOpen();
    std::uint32_t left = static_cast<std::uint32_t>(data_.size() - position_);
    std::uint32_t take = n < left ? n : left;
    if (take > 0) {
        std::memcpy(buffer, data_.data() + position_, take);
    }
    position_ += take;
    return take;
}

std::uint32_t MemoryInputStream::Skip(std::uint32_t n) {
    CheckOpen();
    std::uint32_t left = static_cast<std::uint32_t>(data_.size() - position_);
    std::uint32_t take = n < left ? n : left;
    position_ += take;
    return take;
}

// ---- LineReader ----

LineReader::LineReader(DataInputStream& source, int firstLine)
    : source_(source), lineNumber_(firstLine) {}

void LineReader::CheckOpen() const {
    if (!open_) {
        throw IOException();
    }
}

bool LineReader::AtEnd() {
    CheckOpen();
    if (lookAhead_ >= 0) {
        return false;
    }
    return source_.AtEnd();
}

int LineReader::ReadChar() {
    CheckOpen();
    int c;
    if (lookAhead_ < 0) {
        c = source_.Read();
        lookAhead_ = c < 0 ? -1 : source_.Read();
    } else {
        c = lookAhead_;
        lookAhead_ = source_.Read();
    }
    if (c == 13 && lookAhead_ == 10) {
        c = 10;
        lookAhead_ = -1;
    }
    if (c < 0) {
        return -1;
    }
    if (previous_ == 10) {
        ++lineNumber_;
    }
    previous_ = c;
    return c;
}

bool LineReader::ReadLine(std::string& line) {
    CheckOpen();
    line.clear();
    for (;;) {
        int c = ReadChar();
        if (c < 0) {
            return !line.empty();
        }
        line.push_back(static_cast<char>(c));
        if (c == 10) {
            return true;
        }
    }
}

// ---- TextWriter ----

TextWriter::TextWriter(DataOutputStream& target) : target_(target) {}

void TextWriter::CheckOpen() const {
    if (!open_) {
        throw IOException();
    }
}

void TextWriter::Flush() {
    CheckOpen();
    target_.Flush();
}

void TextWriter::PrintV(const char* format, va_list args) {
    CheckOpen();
    std::string text = FormatTextV(format, args);
    for (char ch : text) {
        if (ch == '\n') {
            target_.Write(static_cast<std::uint8_t>(13));
        }
        target_.Write(static_cast<std::uint8_t>(ch));
    }
}

// ---- TextFileReader ----

TextFileReader::TextFileReader(const std::string& name)
    : file_(std::make_unique<FileInputStream>(name)),
      buffer_(std::make_unique<BufferedInputStream>(*file_, StreamBufferSize)),
      text_(std::make_unique<LineReader>(*buffer_, 1)) {}

TextFileReader::~TextFileReader() {
    // Layers go in reverse order of construction; the file handle closes with its stream.
    text_.reset();
    buffer_.reset();
    file_.reset();
}

bool TextFileReader::IsOpen() const {
    return text_->IsOpen();
}

void TextFileReader::Close() {
    text_->Close();
    buffer_->Close();
    file_->Close();
}

bool TextFileReader::AtEnd() {
    return text_->AtEnd();
}
int TextFileReader::ReadChar() {
    return text_->ReadChar();
}
bool TextFileReader::ReadLine(std::string& line) {
    return text_->ReadLine(line);
}
int TextFileReader::LineNumber() const {
    return text_->LineNumber();
}

// ---- TextFileWriter ----

TextFileWriter::TextFileWriter(const std::string& name)
    : file_(std::make_unique<FileOutputStream>(name)),
      buffer_(std::make_unique<BufferedOutputStream>(*file_, StreamBufferSize)),
      text_(std::make_unique<TextWriter>(*buffer_)) {}

TextFileWriter::~TextFileWriter() {
    // The buffer's destructor writes its last bytes before the file closes.
    text_.reset();
    buffer_.reset();
    file_.reset();
}

bool TextFileWriter::IsOpen() const {
    return text_->IsOpen();
}

void TextFileWriter::Close() {
    if (text_->IsOpen()) {
        text_->Close();
    }
    // Whatever happens to the buffer's last write, the file is closed.
    try {
        if (buffer_->IsOpen()) {
            buffer_->Close();
        }
    } catch (...) {
        file_->Close();
        throw;
    }
    file_->Close();
}

void TextFileWriter::Flush() {
    text_->Flush();
    buffer_->Flush();
    file_->Flush();
}

void TextFileWriter::PrintV(const char* format, va_list args) {
    text_->PrintV(format, args);
}

} // namespace nebcm
