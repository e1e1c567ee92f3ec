// Computing the platform symbols from the processor and Windows version facts.
#include "model/platform_symbols.h"

#include <cstddef>

#include "model/database_text.h"

namespace nebcm {

namespace {

const int IntelArchitecture = 0;
const int Win32sPlatform = 0;
const int Windows95Platform = 1;
const int NtPlatform = 2;

char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool StartsWithIgnoreCase(const std::string& text, const char* prefix) {
    std::size_t i = 0;
    for (; prefix[i] != '\0'; ++i) {
        if (i >= text.size() || Lower(text[i]) != Lower(prefix[i])) {
            return false;
        }
    }
    return true;
}

// The number behind "Service Pack ": leading blanks and a sign allowed, digits up to the first
// other character, none giving 0. Clamped instead of overflowing on absurd digit runs.
long ServicePackNumber(const std::string& text, std::size_t pos) {
    while (pos < text.size() && dbtext::IsBlank(text[pos])) {
        ++pos;
    }
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        negative = text[pos] == '-';
        ++pos;
    }
    long value = 0;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
        if (value < 100000000) {
            value = value * 10 + (text[pos] - '0');
        }
        ++pos;
    }
    return negative ? -value : value;
}

void AddProcessorSymbols(const MachineInfo& info, PlatformSymbols& symbols) {
    if (info.processorArchitecture != IntelArchitecture) {
        return;
    }
    symbols.Add("i80x86");
    switch (info.processorType) {
    case 386:
        symbols.Add("i80386");
        break;
    case 486:
        symbols.Add("i80386");
        symbols.Add("i80486");
        break;
    case 586: {
        symbols.Add("i80386");
        symbols.Add("i80486");
        symbols.Add("Pentium");
        // Only the NT family reports a meaningful processor model.
        if (info.platformId != NtPlatform) {
            break;
        }
        unsigned model = (static_cast<unsigned>(info.processorRevision) & 0xFFFFu) >> 8;
        if (model == 3 || model == 5 || model == 6) {
            symbols.Add("PentiumII");
        } else if (model == 7 || model == 8) {
            symbols.Add("PentiumII");
            symbols.Add("PentiumIII");
        }
        break;
    }
    default:
        symbols.Add("i80386");
        break;
    }
}

void AddNt4ServicePackSymbols(const std::string& servicePack, PlatformSymbols& symbols) {
    const char* prefix = "Service Pack ";
    if (servicePack.size() < 14 || !StartsWithIgnoreCase(servicePack, prefix)) {
        return;
    }
    long n = ServicePackNumber(servicePack, 13);
    if (n >= 6) {
        symbols.Add("WinNT4sp6");
    }
    if (n >= 5) {
        symbols.Add("WinNT4sp5");
    }
    if (n >= 4) {
        symbols.Add("WinNT4sp4");
    }
    if (n >= 3) {
        symbols.Add("WinNT4sp3");
    }
}

void AddSystemSymbols(const MachineInfo& info, PlatformSymbols& symbols) {
    switch (info.platformId) {
    case Win32sPlatform:
        symbols.Add("Win32s");
        break;
    case Windows95Platform:
        symbols.Add("Win32r");
        symbols.Add("Win9x");
        if (info.majorVersion == 4 && info.minorVersion >= 90) {
            symbols.Add("WinME");
        } else if (info.majorVersion == 4 && info.minorVersion >= 10) {
            symbols.Add("Win98");
        } else {
            symbols.Add("Win95");
        }
        break;
    case NtPlatform:
        symbols.Add("Win32r");
        symbols.Add("Win4");
        if (info.majorVersion == 3) {
            symbols.Add("WinNT3x");
        } else if (info.majorVersion == 4) {
            symbols.Add("WinNT3x");
            symbols.Add("WinNT4");
            AddNt4ServicePackSymbols(info.servicePack, symbols);
        } else if (info.majorVersion == 5 && info.minorVersion == 0) {
            symbols.Add("Win2000");
        } else if (info.majorVersion > 5 || (info.majorVersion == 5 && info.minorVersion >= 1)) {
            symbols.Add("WinXP");
        }
        break;
    default:
        break;
    }
}

} // namespace

PlatformSymbols PlatformSymbols::FromList(const std::string& list) {
    PlatformSymbols symbols;
    std::size_t start = 0;
    for (;;) {
        std::size_t comma = list.find(',', start);
        std::string name = dbtext::Trim(
            list.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
        if (!name.empty()) {
            symbols.Add(name);
        }
        if (comma == std::string::npos) {
            return symbols;
        }
        start = comma + 1;
    }
}

const std::vector<std::string>& KnownPlatformSymbols() {
    static const std::vector<std::string> names = {
        "CPU",       "OS",        "Win32",     "Win32s",    "Win32r",    "Win9x",
        "Win95",     "Win98",     "WinME",     "Win4",      "WinNT3x",   "WinNT4",
        "WinNT4sp3", "WinNT4sp4", "WinNT4sp5", "WinNT4sp6", "Win2000",   "WinXP",
        "i80x86",    "i80386",    "i80486",    "Pentium",   "PentiumII", "PentiumIII"};
    return names;
}

PlatformSymbols ComputePlatformSymbols(const MachineInfo& info) {
    PlatformSymbols symbols;
    symbols.Add("CPU");
    AddProcessorSymbols(info, symbols);
    symbols.Add("OS");
    symbols.Add("Win32");
    AddSystemSymbols(info, symbols);
    return symbols;
}

PlatformSymbols MachinePlatformSymbols() {
    MachineInfo info;
    if (!QueryMachineInfo(info)) {
        return PlatformSymbols();
    }
    return ComputePlatformSymbols(info);
}

} // namespace nebcm
