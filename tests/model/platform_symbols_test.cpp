// Platform symbols: every processor and operating-system case, and the running machine.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "model/platform_symbols.h"

namespace nebcm {
namespace {

const int Intel = 0;
const int Win32s = 0;
const int Win95Family = 1;
const int Nt = 2;

MachineInfo Machine(int architecture, int type, int revision, int platform, int major, int minor,
                    const std::string& servicePack = "") {
    MachineInfo info;
    info.processorArchitecture = architecture;
    info.processorType = type;
    info.processorRevision = revision;
    info.platformId = platform;
    info.majorVersion = major;
    info.minorVersion = minor;
    info.servicePack = servicePack;
    return info;
}

std::vector<std::string> Symbols(const MachineInfo& info) {
    return ComputePlatformSymbols(info).Names();
}

std::vector<std::string> Sorted(std::vector<std::string> names) {
    std::sort(names.begin(), names.end());
    return names;
}

// Processor symbols on a platform that adds only "OS", "Win32" and the unknown-platform nothing.
std::vector<std::string> Processor(int architecture, int type, int revision, int platform) {
    std::vector<std::string> all = Symbols(Machine(architecture, type, revision, platform, 0, 0));
    std::vector<std::string> cpu;
    for (const std::string& name : all) {
        if (name.rfind("i80", 0) == 0 || name.rfind("Pentium", 0) == 0) {
            cpu.push_back(name);
        }
    }
    return cpu;
}

TEST(PlatformSymbolsTest, ProcessorTable) {
    using V = std::vector<std::string>;
    const V p5 = {"Pentium", "i80386", "i80486", "i80x86"};
    const V p2 = {"Pentium", "PentiumII", "i80386", "i80486", "i80x86"};
    const V p3 = {"Pentium", "PentiumII", "PentiumIII", "i80386", "i80486", "i80x86"};
    struct Row {
        int architecture, type, model, platform;
        V expected;
    } rows[] = {
        {6, 586, 8, Nt, {}}, // not Intel: no processor symbol at all
        {1, 386, 0, Nt, {}},
        {Intel, 386, 0, Nt, {"i80386", "i80x86"}},
        {Intel, 486, 0, Win95Family, {"i80386", "i80486", "i80x86"}},
        {Intel, 586, 1, Nt, p5}, // Pentium Pro
        {Intel, 586, 2, Nt, p5},
        {Intel, 586, 3, Nt, p2},
        {Intel, 586, 4, Nt, p5},
        {Intel, 586, 5, Nt, p2},
        {Intel, 586, 6, Nt, p2},
        {Intel, 586, 7, Nt, p3},
        {Intel, 586, 8, Nt, p3},
        {Intel, 586, 9, Nt, p5},
        {Intel, 586, 8, Win95Family, p5}, // the model counts on NT only
        {Intel, 586, 7, Win32s, p5},
        {Intel, 686, 8, Nt, {"i80386", "i80x86"}}, // any other type
        {Intel, 0, 0, Nt, {"i80386", "i80x86"}},
    };
    for (const Row& row : rows) {
        // The stepping in the low byte of the revision does not matter.
        EXPECT_EQ(Processor(row.architecture, row.type, row.model * 256 + 0x0A, row.platform),
                  row.expected)
            << row.architecture << " " << row.type << " model " << row.model;
    }
    EXPECT_TRUE(ComputePlatformSymbols(Machine(6, 586, 0, Nt, 5, 1)).Contains("CPU"));
}

TEST(PlatformSymbolsTest, OperatingSystemTable) {
    using V = std::vector<std::string>;
    struct Row {
        int platform, major, minor;
        const char* servicePack;
        V expected; // besides CPU, OS, Win32 and the processor's
    } rows[] = {
        {Win32s, 3, 11, "", {"Win32s"}},
        {Win95Family, 4, 0, "", {"Win32r", "Win95", "Win9x"}},
        {Win95Family, 4, 9, "", {"Win32r", "Win95", "Win9x"}},
        {Win95Family, 4, 10, " A ", {"Win32r", "Win98", "Win9x"}},
        {Win95Family, 4, 89, "", {"Win32r", "Win98", "Win9x"}},
        {Win95Family, 4, 90, " ", {"Win32r", "Win9x", "WinME"}},
        {Win95Family, 4, 99, "", {"Win32r", "Win9x", "WinME"}},
        {Win95Family, 5, 0, "", {"Win32r", "Win95", "Win9x"}},
        {Win95Family, 3, 95, "", {"Win32r", "Win95", "Win9x"}},
        {Nt, 2, 0, "", {"Win32r", "Win4"}},
        {Nt, 3, 51, "Service Pack 5", {"Win32r", "Win4", "WinNT3x"}},
        {Nt, 4, 0, "", {"Win32r", "Win4", "WinNT3x", "WinNT4"}},
        {Nt, 5, 0, "Service Pack 4", {"Win2000", "Win32r", "Win4"}},
        {Nt, 5, 1, "Service Pack 3", {"Win32r", "Win4", "WinXP"}},
        {Nt, 5, 2, "", {"Win32r", "Win4", "WinXP"}},
        {Nt, 6, 0, "", {"Win32r", "Win4", "WinXP"}},
        {3, 5, 1, "", {}},
        {-1, 4, 0, "", {}},
    };
    for (const Row& row : rows) {
        V expected = row.expected;
        for (const char* always : {"CPU", "OS", "Win32", "i80x86", "i80386"}) {
            expected.push_back(always);
        }
        EXPECT_EQ(
            Symbols(Machine(Intel, 386, 0, row.platform, row.major, row.minor, row.servicePack)),
            Sorted(expected))
            << row.platform << " " << row.major << "." << row.minor;
    }
}

TEST(PlatformSymbolsTest, Nt4ServicePacks) {
    using V = std::vector<std::string>;
    const V sp3 = {"WinNT4sp3"};
    const V sp4 = {"WinNT4sp3", "WinNT4sp4"};
    const V sp5 = {"WinNT4sp3", "WinNT4sp4", "WinNT4sp5"};
    const V sp6 = {"WinNT4sp3", "WinNT4sp4", "WinNT4sp5", "WinNT4sp6"};
    struct Row {
        const char* text;
        V expected;
    } rows[] = {
        {"", {}},
        {"Service Pack 2", {}},
        {"Service Pack 3", sp3},
        {"Service Pack 4", sp4},
        {"Service Pack 5", sp5},
        {"Service Pack 6", sp6},
        {"Service Pack 6a", sp6},
        {"Service Pack 12", sp6},
        {"SERVICE PACK 5", sp5},    // the words ignore case
        {"Service Pack   +4", sp4}, // blanks and a sign before the number
        {"Service Pack -6", {}},
        {"Service Pack x6", {}}, // no digits: 0
        {"Service Pack ", {}},   // shorter than 14 characters
        {"ServicePack 6", {}},
        {"Service Pack 99999999999999999999", sp6}, // absurd numbers do not overflow
    };
    for (const Row& row : rows) {
        std::vector<std::string> sp;
        for (const std::string& name : Symbols(Machine(Intel, 386, 0, Nt, 4, 0, row.text))) {
            if (name.rfind("WinNT4sp", 0) == 0) {
                sp.push_back(name);
            }
        }
        EXPECT_EQ(sp, row.expected) << row.text;
    }
}

TEST(PlatformSymbolsTest, WholeMachines) {
    // Windows XP on a Pentium III.
    EXPECT_EQ(Symbols(Machine(Intel, 586, 0x0801, Nt, 5, 1, "Service Pack 2")),
              Sorted({"CPU", "i80x86", "i80386", "i80486", "Pentium", "PentiumII", "PentiumIII",
                      "OS", "Win32", "Win32r", "Win4", "WinXP"}));
    // Windows 98 on a Pentium II.
    EXPECT_EQ(Symbols(Machine(Intel, 586, 0x0502, Win95Family, 4, 10, " A ")),
              Sorted({"CPU", "i80x86", "i80386", "i80486", "Pentium", "OS", "Win32", "Win32r",
                      "Win9x", "Win98"}));
    // Everything produced belongs to the vocabulary.
    const std::vector<std::string>& known = KnownPlatformSymbols();
    for (const std::string& name :
         Symbols(Machine(Intel, 586, 0x0801, Nt, 4, 0, "Service Pack 6"))) {
        EXPECT_NE(std::find(known.begin(), known.end(), name), known.end()) << name;
    }
}

TEST(PlatformSymbolsTest, ExplicitLists) {
    PlatformSymbols symbols = PlatformSymbols::FromList(" WinXP ,Pentium,, winxp ,");
    EXPECT_EQ(symbols.Names(), (std::vector<std::string>{"Pentium", "WinXP", "winxp"}));
    EXPECT_TRUE(symbols.Contains("WinXP"));
    EXPECT_FALSE(symbols.Contains("WINXP"));
    EXPECT_EQ(PlatformSymbols::FromList("").Count(), 0u);
}

TEST(PlatformSymbolsTest, RunningMachine) {
    PlatformSymbols symbols = MachinePlatformSymbols();
#if defined(_WIN32)
    // Whatever Windows this is, it reports itself as a Win32 platform with a processor.
    EXPECT_TRUE(symbols.Contains("CPU"));
    EXPECT_TRUE(symbols.Contains("OS"));
    EXPECT_TRUE(symbols.Contains("Win32"));
    MachineInfo info;
    ASSERT_TRUE(QueryMachineInfo(info));
    EXPECT_EQ(symbols, ComputePlatformSymbols(info));
#else
    // Outside Windows nothing is defined.
    EXPECT_EQ(symbols.Count(), 0u);
    MachineInfo info;
    EXPECT_FALSE(QueryMachineInfo(info));
#endif
}

} // namespace
} // namespace nebcm
