// Message catalog lookup and printf-style formatting of the program's texts.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <string>
#include <type_traits>

namespace nebcm {

struct MessageEntry {
    int id;
    const char* text;
};

// Every catalog entry, in ascending number order.
const MessageEntry* MessageCatalog(std::size_t* count);

// The text of a message number; an empty text for a number the catalog does not have.
const char* MessageText(int id);

// printf-style formatting into a string of any length.
std::string FormatText(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;
std::string FormatTextV(const char* format, va_list args);

namespace detail {
inline const char* PrintfArg(const std::string& s) {
    return s.c_str();
}
inline const char* PrintfArg(const char* s) {
    return s;
}
template <class T> T PrintfArg(T v) {
    static_assert(std::is_arithmetic<T>::value, "printf arguments are numbers or texts");
    return v;
}
} // namespace detail

// The message of a number, formatted with the given arguments (texts may be std::string).
template <class... Args> std::string Message(int id, const Args&... args) {
    if constexpr (sizeof...(Args) == 0) {
        return MessageText(id);
    } else {
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
#pragma GCC diagnostic ignored "-Wformat-security"
#endif
        return FormatText(MessageText(id), detail::PrintfArg(args)...);
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif
    }
}

} // namespace nebcm
