#include "CKdSettingsReport.h"

#include <cstdarg>
#include <cstdio>

namespace {
std::string Formatted(const char* format, va_list args) {
    va_list copy;
    va_copy(copy, args);
    const int size = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string text(size > 0 ? size_t(size) : 0, '\0');
    if (size > 0) std::vsnprintf(text.data(), text.size() + 1, format, args);
    return text;
}
} // namespace

int CKdSettingsReport::Fail(int code, const char* format, ...) {
    va_list args;
    va_start(args, format);
    Message(true, Formatted(format, args));
    va_end(args);
    return code;
}

void CKdSettingsReport::Note(const char* format, ...) {
    va_list args;
    va_start(args, format);
    Message(false, Formatted(format, args));
    va_end(args);
}
