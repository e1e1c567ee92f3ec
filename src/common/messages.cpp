// The compiled-in message catalog (the same list the resource script turns into the string table).
#include "common/messages.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace nebcm {

namespace {
const MessageEntry kCatalog[] = {
#define NEBCM_MESSAGE(id, text) {id, text},
#include "common/messages.inc"
#undef NEBCM_MESSAGE
};
} // namespace

const MessageEntry* MessageCatalog(std::size_t* count) {
    *count = sizeof(kCatalog) / sizeof(kCatalog[0]);
    return kCatalog;
}

const char* MessageText(int id) {
    const MessageEntry* end = kCatalog + sizeof(kCatalog) / sizeof(kCatalog[0]);
    const MessageEntry* it =
        std::lower_bound(kCatalog, end, id, [](const MessageEntry& e, int v) { return e.id < v; });
    return (it != end && it->id == id) ? it->text : "";
}

std::string FormatTextV(const char* format, va_list args) {
    char small[512];
    va_list copy;
    va_copy(copy, args);
    int n = std::vsnprintf(small, sizeof small, format, copy);
    va_end(copy);
    if (n < 0) {
        return std::string();
    }
    if (static_cast<std::size_t>(n) < sizeof small) {
        return std::string(small, static_cast<std::size_t>(n));
    }
    std::vector<char> big(static_cast<std::size_t>(n) + 1);
    std::vsnprintf(big.data(), big.size(), format, args);
    return std::string(big.data(), static_cast<std::size_t>(n));
}

std::string FormatText(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string s = FormatTextV(format, args);
    va_end(args);
    return s;
}

} // namespace nebcm
