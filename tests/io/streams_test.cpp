// Streams: typed reads and writes, buffering, line reading and text writing, and file failures.
#include <gtest/gtest.h>

#include <cstring>

#include "io/streams.h"
#include "support/scratch_dir.h"

namespace nebcm {
namespace {

using nebcm::testing::ScratchDir;

// Collects written bytes in memory; counts flushes and block writes.
class MemoryOutput : public DataOutputStream {
public:
    bool IsOpen() const override { return open; }
    void Close() override { open = false; }
    void Flush() override { ++flushes; }
    void Write(std::uint8_t b) override { bytes.push_back(static_cast<char>(b)); }
    void Write(const std::uint8_t* buffer, std::uint32_t n) override {
        ++blockWrites;
        bytes.append(reinterpret_cast<const char*>(buffer), n);
    }
    using DataOutputStream::Write;
    std::string bytes;
    bool open = true;
    int flushes = 0;
    int blockWrites = 0;
};

MemoryInputStream FromText(const std::string& s) {
    return MemoryInputStream(reinterpret_cast<const std::uint8_t*>(s.data()),
                             static_cast<std::uint32_t>(s.size()));
}

std::vector<std::string> Lines(const std::string& text, std::vector<int>* numbers = nullptr) {
    MemoryInputStream mem = FromText(text);
    LineReader reader(mem, 1);
    std::vector<std::string> lines;
    std::string line;
    while (reader.ReadLine(line)) {
        lines.push_back(line);
        if (numbers) {
            numbers->push_back(reader.LineNumber());
        }
    }
    EXPECT_EQ(line, "");
    EXPECT_FALSE(reader.ReadLine(line)) << "stays at the end";
    return lines;
}

TEST(TypedData, ByteOrdersAndEndOfStream) {
    const std::uint8_t bytes[] = {0x12, 0x34, 0x56, 0x78, 0x9a, 0xbc, 0xde, 0xf0, 0x01};
    MemoryInputStream in(bytes, sizeof bytes);
    EXPECT_EQ(in.ReadU16BE(), 0x1234);
    EXPECT_EQ(in.ReadU16LE(), 0x7856);
    EXPECT_EQ(in.ReadU32LE(), 0xf0debc9au);
    // One byte left: a 16-bit read runs into the end, and a handler for IOException sees it.
    bool caught = false;
    try {
        in.ReadU16BE();
    } catch (const IOException& e) {
        caught = dynamic_cast<const EOFException*>(&e) != nullptr;
    }
    EXPECT_TRUE(caught);
    EXPECT_EQ(in.Read(), -1);

    MemoryInputStream be(bytes, 4);
    EXPECT_EQ(be.ReadU32BE(), 0x12345678u);

    MemoryOutput out;
    out.WriteU16BE(0x1234);
    out.WriteU16LE(0x1234);
    out.WriteU32BE(0xa1b2c3d4);
    out.WriteU32LE(0xa1b2c3d4);
    out.WriteU8(7);
    EXPECT_EQ(out.bytes, std::string("\x12\x34\x34\x12\xa1\xb2\xc3\xd4\xd4\xc3\xb2\xa1\x07", 13));
}

TEST(MemoryInput, CopiesTheBlockAndStopsAtItsEnd) {
    std::uint8_t data[] = {1, 2, 3, 4, 5};
    MemoryInputStream in(data, sizeof data);
    data[0] = 99;
    EXPECT_EQ(in.Read(), 1);
    EXPECT_EQ(in.Skip(2), 2u);
    std::uint8_t buf[8] = {};
    EXPECT_EQ(in.Read(buf, 8), 2u);
    EXPECT_EQ(buf[0], 4);
    EXPECT_TRUE(in.AtEnd());
    EXPECT_EQ(in.Skip(10), 0u);
    in.Close();
    EXPECT_FALSE(in.IsOpen());
    EXPECT_THROW(in.Read(), IOException);
    EXPECT_THROW(in.AtEnd(), IOException);
}

TEST(BufferedInput, RefillsAcrossBlocksAndSkipsIntoTheSource) {
    std::string text;
    for (int i = 0; i < 2000; ++i) {
        text.push_back(static_cast<char>(i * 7));
    }
    MemoryInputStream source = FromText(text);
    BufferedInputStream in(source, 512);
    EXPECT_EQ(in.Read(), static_cast<std::uint8_t>(text[0]));
    EXPECT_EQ(in.Skip(1000), 1000u); // 511 from the buffer, the rest skipped in the source
    EXPECT_EQ(in.Read(), static_cast<std::uint8_t>(text[1001]));
    std::vector<std::uint8_t> rest(2000);
    EXPECT_EQ(in.Read(rest.data(), 2000), 998u);
    EXPECT_EQ(rest[997], static_cast<std::uint8_t>(text[1999]));
    EXPECT_TRUE(in.AtEnd());
    EXPECT_EQ(in.Read(), -1);
    EXPECT_EQ(in.Skip(5), 0u);
    // Closing the layer leaves the source open.
    in.Close();
    EXPECT_TRUE(source.IsOpen());
    EXPECT_THROW(in.Read(), IOException);
    EXPECT_THROW(in.Skip(1), IOException);
}

TEST(BufferedOutput, WritesInBlocksAndFlushesWhenDestroyed) {
    MemoryOutput target;
    {
        BufferedOutputStream out(target, 4);
        const std::uint8_t data[] = {1, 2, 3, 4, 5, 6};
        out.Write(data, 6);
        EXPECT_EQ(target.bytes.size(), 4u);
        out.Flush();
        EXPECT_EQ(target.bytes.size(), 6u);
        EXPECT_EQ(target.flushes, 0) << "does not flush the target";
        out.Write(std::uint8_t(7));
    }
    EXPECT_EQ(target.bytes, std::string("\x01\x02\x03\x04\x05\x06\x07", 7));
    EXPECT_TRUE(target.open);

    // A block that fills the buffer exactly waits for the next byte; a long one passes through
    // a bufferful at a time.
    MemoryOutput blocks;
    BufferedOutputStream exact(blocks, 4);
    const std::uint8_t nine[] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    exact.Write(nine, 4);
    EXPECT_EQ(blocks.bytes.size(), 0u);
    exact.Write(nine, 9);
    EXPECT_EQ(blocks.bytes, std::string("\x01\x02\x03\x04\x01\x02\x03\x04\x05\x06\x07\x08", 12));
    exact.Close();
    EXPECT_EQ(blocks.bytes.size(), 13u);

    BufferedOutputStream closed(target, 4);
    closed.Close();
    EXPECT_THROW(closed.Write(std::uint8_t(1)), IOException);
    EXPECT_THROW(closed.Flush(), IOException);
}

TEST(LineReading, LineEndsAndNumbers) {
    std::vector<int> numbers;
    EXPECT_EQ(Lines("a\r\nb\nc", &numbers), (std::vector<std::string>{"a\n", "b\n", "c"}));
    EXPECT_EQ(numbers, (std::vector<int>{1, 2, 3}));
    // CR CR LF is a lone CR and then one line end; a lone CR does not end a line.
    EXPECT_EQ(Lines("x\r\r\ny\rz"), (std::vector<std::string>{"x\r\n", "y\rz"}));
    EXPECT_EQ(Lines(""), std::vector<std::string>{});
    numbers.clear();
    EXPECT_EQ(Lines("\n\n\r\nlast\n", &numbers),
              (std::vector<std::string>{"\n", "\n", "\n", "last\n"}));
    EXPECT_EQ(numbers, (std::vector<int>{1, 2, 3, 4}));
    EXPECT_EQ(Lines("\r"), std::vector<std::string>{"\r"});
    EXPECT_EQ(Lines(std::string("\0\xff\n", 3)),
              std::vector<std::string>{std::string("\0\xff\n", 3)});
}

TEST(LineReading, StartsAtTheGivenNumberAndHoldsLookAhead) {
    MemoryInputStream mem = FromText("one\ntwo");
    LineReader reader(mem, 10);
    std::string line;
    EXPECT_EQ(reader.LineNumber(), 10);
    EXPECT_EQ(reader.ReadChar(), 'o');
    EXPECT_TRUE(mem.AtEnd() == false);
    ASSERT_TRUE(reader.ReadLine(line));
    EXPECT_EQ(line, "ne\n");
    EXPECT_EQ(reader.LineNumber(), 10);
    EXPECT_FALSE(reader.AtEnd());
    ASSERT_TRUE(reader.ReadLine(line));
    EXPECT_EQ(line, "two");
    EXPECT_EQ(reader.LineNumber(), 11);
    EXPECT_TRUE(reader.AtEnd());
    reader.Close();
    EXPECT_THROW(reader.ReadLine(line), IOException);
}

TEST(TextWriting, EveryLineFeedBecomesCrLf) {
    MemoryOutput target;
    TextWriter writer(target);
    writer.Print("a\nb");
    writer.Print("%s=%d\n", "n", 5);
    writer.Print("%s", std::string(1000, 'x').c_str());
    EXPECT_EQ(target.bytes, "a\r\nbn=5\r\n" + std::string(1000, 'x'));
    writer.Flush();
    EXPECT_EQ(target.flushes, 1);
    writer.Close();
    EXPECT_TRUE(target.open);
    EXPECT_THROW(writer.Print("x"), IOException);
}

TEST(FileStreams, TextFilesRoundTrip) {
    ScratchDir dir;
    std::string name = dir.File("db.txt");
    {
        TextFileWriter writer(name);
        for (int i = 0; i < 300; ++i) {
            writer.Print("line %d\n", i);
        }
        writer.Print("tail");
        writer.Close();
        EXPECT_FALSE(writer.IsOpen());
    }
    std::string raw = dir.Read("db.txt");
    EXPECT_EQ(raw.substr(0, 8), "line 0\r\n");
    EXPECT_EQ(raw.substr(raw.size() - 4), "tail");

    TextFileReader reader(name);
    std::string line;
    int count = 0;
    while (reader.ReadLine(line)) {
        ++count;
    }
    EXPECT_EQ(count, 301);
    EXPECT_EQ(reader.LineNumber(), 301);
    reader.Close();
    EXPECT_FALSE(reader.IsOpen());
}

TEST(FileStreams, WriterDestroyedWithoutCloseKeepsItsText) {
    ScratchDir dir;
    {
        TextFileWriter writer(dir.File("x.txt"));
        writer.Print("a\nb");
    }
    EXPECT_EQ(dir.Read("x.txt"), "a\r\nb");
}

TEST(FileStreams, SkipAndReadStopAtTheEnd) {
    ScratchDir dir;
    dir.Write("bin", "0123456789");
    FileInputStream in(dir.File("bin"));
    EXPECT_FALSE(in.AtEnd());
    EXPECT_EQ(in.Skip(4), 4u);
    EXPECT_EQ(in.Read(), '4');
    std::uint8_t buf[16];
    EXPECT_EQ(in.Read(buf, 3), 3u);
    EXPECT_EQ(in.Skip(100), 2u);
    EXPECT_TRUE(in.AtEnd());
    EXPECT_EQ(in.Read(), -1);
    EXPECT_EQ(in.Read(buf, 16), 0u);
    in.Close();
    in.Close(); // closing twice does nothing
    EXPECT_THROW(in.Read(), IOException);
    EXPECT_THROW(in.AtEnd(), IOException);
}

TEST(FileStreams, OutputTruncatesAndRefusesWhenClosed) {
    ScratchDir dir;
    dir.Write("o", "old contents that are long");
    {
        FileOutputStream out(dir.File("o"));
        out.WriteU32BE(0x41424344);
        out.Flush();
        out.Close();
        EXPECT_THROW(out.Write(std::uint8_t(1)), IOException);
    }
    EXPECT_EQ(dir.Read("o"), "ABCD");
}

TEST(FileStreams, MissingFilesDirectoriesAndDirectoriesAsFiles) {
    ScratchDir dir;
    const std::string sep = ScratchDir::Separator();
    const std::string names[] = {dir.File("missing.txt"), dir.File("nodir") + sep + "x.txt",
                                 dir.Path()};
    for (const std::string& name : names) {
        try {
            FileInputStream in(name);
            ADD_FAILURE() << "opened " << name;
        } catch (const FileNotFoundException& e) {
            EXPECT_EQ(e.FileName(), name);
        }
    }
#ifdef _WIN32
    // A drive that does not exist.
    char letter = 0;
    DWORD drives = GetLogicalDrives();
    for (char c = 'Z'; c >= 'D'; --c) {
        if (!(drives & (1u << (c - 'A')))) {
            letter = c;
            break;
        }
    }
    if (letter) {
        std::string name = std::string(1, letter) + ":\\x.txt";
        EXPECT_THROW(FileInputStream in(name), FileNotFoundException) << name;
    }
#endif
    // A file in a directory that does not exist cannot be created.
    EXPECT_THROW(FileOutputStream out(dir.File("nodir") + sep + "y"), IOException);
    EXPECT_THROW(TextFileReader r(dir.File("missing.txt")), FileNotFoundException);
}

} // namespace
} // namespace nebcm
