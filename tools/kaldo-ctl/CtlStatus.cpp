#include "CtlStatus.h"

#include <cstdarg>
#include <cstdio>

namespace {

void PrintLine(const char* format, va_list args) {
    std::fputs("kaldo-ctl: ", stderr);
    std::vfprintf(stderr, format, args);
    std::fputc('\n', stderr);
}

} // namespace

int CtlStatus::Fail(int code, const char* format, ...) {
    va_list args;
    va_start(args, format);
    PrintLine(format, args);
    va_end(args);
    return code;
}

void CtlStatus::Note(const char* format, ...) {
    va_list args;
    va_start(args, format);
    PrintLine(format, args);
    va_end(args);
}
