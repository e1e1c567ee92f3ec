// Registry paths, values and keys in the real Wine registry, below a key of the test's own.
#include <gtest/gtest.h>
#include <windows.h>

#include "common/messages.h"
#include "engine/registry.h"
#include "engine_fixture.h"

namespace nebcm::test {
namespace {

class RegistryTest : public EngineTest {
protected:
    // Writes a value directly, bypassing the code under test.
    void Put(const std::string& relativeKey, const char* name, DWORD type, const void* data,
             DWORD size) {
        HKEY key = nullptr;
        std::string sub = relativeKey.empty() ? keySub_ : keySub_ + "\\" + relativeKey;
        ASSERT_EQ(::RegCreateKeyExA(HKEY_CURRENT_USER, sub.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                    nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        ASSERT_EQ(::RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size),
                  ERROR_SUCCESS);
        ::RegCloseKey(key);
    }
    void PutString(const std::string& relativeKey, const char* name, const std::string& text) {
        Put(relativeKey, name, REG_SZ, text.c_str(), static_cast<DWORD>(text.size() + 1));
    }

    // A tree of keys with values of several types, default values and an empty key.
    void MakeTree() {
        DWORD number = 0x12345678;
        const char multi[] = "one\0two\0";
        const unsigned char binary[] = {0, 1, 2, 0xfe, 0xff};
        PutString("tree", "", "default of tree");
        PutString("tree", "text", "some text");
        Put("tree", "number", REG_DWORD, &number, sizeof number);
        Put("tree", "expand", REG_EXPAND_SZ, "%SystemRoot%\\x", 15);
        Put("tree\\child", "multi", REG_MULTI_SZ, multi, sizeof multi);
        Put("tree\\child", "binary", REG_BINARY, binary, sizeof binary);
        Put("tree\\child", "nothing", REG_BINARY, nullptr, 0);
        PutString("tree\\child\\grandchild", "", "deep default");
        Put("tree\\child\\grandchild", "unterminated", REG_SZ, "abc", 3);
        PutString("tree\\other", "x", "y");
        HKEY empty = nullptr;
        ::RegCreateKeyExA(HKEY_CURRENT_USER, (keySub_ + "\\tree\\other\\empty").c_str(), 0, nullptr,
                          0, KEY_ALL_ACCESS, nullptr, &empty, nullptr);
        ::RegCloseKey(empty);
    }
};

TEST_F(RegistryTest, InvalidPathsAreRejectedWithTheirMessage) {
    const std::string long64(64, 'k');
    struct Case {
        std::string path;
        std::string reported; // what 10007 names
    } cases[] = {
        {"HKEY_LOCAL_MACHINE", "HKEY_LOCAL_MACHINE"},
        {"HKEY_LOCAL_MACHINE\\", "HKEY_LOCAL_MACHINE\\"},
        {"", ""},
        {Key(long64), Key(long64)},
        {Key() + "\\\\gap", Key() + "\\\\gap"},
        {"hkey_current_user\\Software", "\\hkey_current_user"},
        {"HKEY_NOWHERE\\Software", "\\HKEY_NOWHERE"},
    };
    for (const Case& c : cases) {
        EXPECT_FALSE(RegistryKeyExists(c.path)) << c.path;
        Transaction transaction;
        ErrorList errors;
        std::string text;
        EXPECT_FALSE(CreateRegistryKey(c.path, &transaction, errors));
        EXPECT_FALSE(DeleteRegistryKey(c.path, &transaction, errors));
        EXPECT_FALSE(ReadRegistryString(c.path, "v", text, errors));
        EXPECT_FALSE(WriteRegistryString(c.path, "v", "t", &transaction, errors));
        EXPECT_FALSE(DeleteRegistryDefaultValue(c.path, &transaction, errors));
        ASSERT_EQ(errors.Count(), 5u) << c.path;
        for (const std::string& message : errors.Messages()) {
            EXPECT_EQ(message, Message(10007, c.reported));
        }
        EXPECT_EQ(transaction.Count(), 0);
    }
    // 63 characters is still a name; a trailing backslash adds nothing.
    ErrorList errors;
    EXPECT_TRUE(CreateRegistryKey(Key(std::string(63, 'k')) + "\\", nullptr, errors));
    EXPECT_TRUE(RegistryKeyExists(Key(std::string(63, 'k'))));
    EXPECT_TRUE(errors.Empty());
}

TEST_F(RegistryTest, CreateRecordsOnlyTheKeysItAdded) {
    ErrorList setup;
    ASSERT_TRUE(CreateRegistryKey(Key("A"), nullptr, setup));
    const std::string before = Describe(KeySnapshot());
    Transaction transaction;
    ErrorList errors;
    ASSERT_TRUE(CreateRegistryKey(Key("A\\B\\C"), &transaction, errors));
    EXPECT_TRUE(RegistryKeyExists(Key("A\\B\\C")));
    EXPECT_EQ(transaction.Count(), 2);
    // Something written into the new keys later goes with them.
    ASSERT_TRUE(WriteRegistryString(Key("A\\B"), "later", "x", nullptr, errors));
    ErrorList rollback;
    EXPECT_TRUE(transaction.Rollback(rollback));
    EXPECT_EQ(Describe(KeySnapshot()), before);
    EXPECT_TRUE(RegistryKeyExists(Key("A")));
    EXPECT_TRUE(errors.Empty());

    int steps = ExpectRollbackAfterEachFailure(
        [&](Transaction& t, ErrorList& e) { return CreateRegistryKey(Key("A\\B\\C\\D"), &t, e); });
    EXPECT_GE(steps, 7);
}

// Lets the first `open` key openings through and refuses every later one.
class RefuseOpeningsAfter : public SystemCallFilter {
public:
    explicit RefuseOpeningsAfter(int open) : left_(open) {}
    bool Fail(SystemCall call) override { return call == SystemCall::OpenKey && left_-- <= 0; }

private:
    int left_;
};

TEST_F(RegistryTest, AKeyThatCouldNotBeOpenedButExistedIsNotRecorded) {
    PutString("A", "kept", "value of a key that was there");
    Transaction transaction;
    ErrorList errors;
    {
        // The keys down to the test's own open; below it, A exists but will not open, so the
        // creation opens it instead of making it.
        RefuseOpeningsAfter filter(3);
        ScopedFilter scoped(&filter);
        ASSERT_TRUE(CreateRegistryKey(Key("A\\B"), &transaction, errors));
    }
    EXPECT_TRUE(RegistryKeyExists(Key("A\\B")));
    EXPECT_EQ(transaction.Count(), 1);
    ErrorList rollback;
    EXPECT_TRUE(transaction.Rollback(rollback));
    EXPECT_FALSE(RegistryKeyExists(Key("A\\B")));
    std::string text;
    ASSERT_TRUE(ReadRegistryString(Key("A"), "kept", text, errors));
    EXPECT_EQ(text, "value of a key that was there");
    EXPECT_TRUE(errors.Empty());
}

TEST_F(RegistryTest, DeleteKeyRollbackRebuildsTheTreeWithEveryTypeAndByte) {
    MakeTree();
    const std::string before = Describe(KeySnapshot());
    Transaction transaction;
    ErrorList errors;
    ASSERT_TRUE(DeleteRegistryKey(Key("tree"), &transaction, errors));
    EXPECT_FALSE(RegistryKeyExists(Key("tree")));
    EXPECT_TRUE(errors.Empty());
    ErrorList rollback;
    EXPECT_TRUE(transaction.Rollback(rollback));
    EXPECT_EQ(Describe(KeySnapshot()), before);

    int steps = ExpectRollbackAfterEachFailure([&](Transaction& t, ErrorList& e) {
        return DeleteRegistryKey(Key("tree"), &t, e) && !RegistryKeyExists(Key("tree"));
    });
    EXPECT_GE(steps, 50);
}

TEST_F(RegistryTest, DeletingAMissingKeyNamesWhereThePathEnds) {
    Transaction transaction;
    ErrorList errors;
    EXPECT_FALSE(DeleteRegistryKey(Key("missing"), &transaction, errors));
    EXPECT_FALSE(DeleteRegistryKey(Key("missing\\below\\deeper"), &transaction, errors));
    std::string text;
    EXPECT_FALSE(ReadRegistryString(Key("missing\\below"), "v", text, errors));
    ASSERT_EQ(errors.Count(), 3u);
    EXPECT_EQ(errors.At(0), Message(10005, Key("missing")));
    EXPECT_EQ(errors.At(1), Message(10005, Key("missing")));
    EXPECT_EQ(errors.At(2), Message(10005, Key("missing")));
    // Values need their key: a write to a missing key says so once.
    EXPECT_FALSE(WriteRegistryString(Key("missing"), "v", "t", &transaction, errors));
    ASSERT_EQ(errors.Count(), 4u);
    EXPECT_EQ(errors.At(3), Message(10005, Key("missing")));
    EXPECT_EQ(transaction.Count(), 0);
}

TEST_F(RegistryTest, WritingAndRollingBackValues) {
    DWORD number = 7;
    Put("", "old", REG_DWORD, &number, sizeof number);
    Put("", "", REG_BINARY, "\1\2", 2);
    const std::string before = Describe(KeySnapshot());

    Transaction transaction;
    ErrorList errors;
    ASSERT_TRUE(WriteRegistryString(Key(), "new", "fresh", &transaction, errors));
    EXPECT_EQ(transaction.Count(), 1);
    ASSERT_TRUE(WriteRegistryString(Key(), "old", "replaced", &transaction, errors));
    EXPECT_EQ(transaction.Count(), 3);
    ASSERT_TRUE(WriteRegistryDefaultString(Key(), "default", &transaction, errors));
    EXPECT_EQ(transaction.Count(), 5);
    ASSERT_TRUE(WriteRegistryValue(Key(), "expand", RegistryExpandStringType, 4, "%A%",
                                   &transaction, errors));
    std::string text;
    ASSERT_TRUE(ReadRegistryString(Key(), "old", text, errors));
    EXPECT_EQ(text, "replaced");
    ASSERT_TRUE(ReadRegistryString(Key(), "", text, errors));
    EXPECT_EQ(text, "default");
    ASSERT_TRUE(ReadRegistryString(Key(), "expand", text, errors));
    EXPECT_EQ(text, "%A%");
    ASSERT_TRUE(DeleteRegistryValue(Key(), "new", &transaction, errors));
    ASSERT_TRUE(DeleteRegistryValue(Key(), "never there", &transaction, errors));
    EXPECT_TRUE(errors.Empty());

    ErrorList rollback;
    EXPECT_TRUE(transaction.Rollback(rollback));
    EXPECT_EQ(Describe(KeySnapshot()), before);

    int steps = ExpectRollbackAfterEachFailure([&](Transaction& t, ErrorList& e) {
        return WriteRegistryString(Key(), "old", "replaced", &t, e) &&
               WriteRegistryDefaultString(Key(), "default", &t, e);
    });
    EXPECT_GE(steps, 12);
}

TEST_F(RegistryTest, ReadingTextValues) {
    DWORD number = 42;
    Put("", "number", REG_DWORD, &number, sizeof number);
    PutString("", "plain", "C:\\NEB");
    Put("", "expand", REG_EXPAND_SZ, "%PATH%;x", 9);
    Put("", "empty", REG_SZ, nullptr, 0);
    Put("", "unterminated", REG_SZ, "abc", 3);
    PutString("", "fits", std::string(1023, 'f'));
    PutString("", "too long", std::string(1024, 'l'));

    struct Case {
        const char* name;
        bool ok;
        std::string text;
    } cases[] = {
        {"plain", true, "C:\\NEB"},
        {"expand", true, "%PATH%;x"},
        {"empty", true, ""},
        {"unterminated", true, "abc"},
        {"fits", true, std::string(1023, 'f')},
        {"too long", false, ""},
        {"number", false, ""},
        {"missing", false, ""},
    };
    for (const Case& c : cases) {
        ErrorList errors;
        std::string text = "untouched";
        EXPECT_EQ(ReadRegistryString(Key(), c.name, text, errors), c.ok) << c.name;
        if (c.ok) {
            EXPECT_EQ(text, c.text) << c.name;
            EXPECT_TRUE(errors.Empty());
        } else {
            EXPECT_EQ(text, "untouched");
            ASSERT_EQ(errors.Count(), 1u) << c.name;
            EXPECT_EQ(errors.At(0), Message(10009, c.name, Key()));
        }
    }
}

} // namespace
} // namespace nebcm::test
