#include "CtlStatus.h"

#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace {

bool sQuiet = false;
std::string sFirstFailure;

void PrintLine(bool failure, const char* format, va_list args) {
    static const bool terminal = isatty(STDERR_FILENO);
    static const bool colour = terminal && !std::getenv("NO_COLOR");
    if (terminal) std::fputs("\r\033[K", stderr); // over a progress line
    if (colour)
        std::fputs(failure ? "\033[1;31mkaldo-ctl:\033[0m " : "\033[1;33mkaldo-ctl:\033[0m ",
                   stderr);
    else
        std::fputs("kaldo-ctl: ", stderr);
    std::vfprintf(stderr, format, args);
    std::fputc('\n', stderr);
}

} // namespace

void CtlStatus::Configure(bool quiet) {
    sQuiet = quiet;
}

int CtlStatus::Fail(int code, const char* format, ...) {
    va_list args;
    if (sFirstFailure.empty()) {
        va_start(args, format);
        char buffer[1024];
        std::vsnprintf(buffer, sizeof buffer, format, args);
        va_end(args);
        sFirstFailure = buffer;
    }
    va_start(args, format);
    PrintLine(true, format, args);
    va_end(args);
    return code;
}

void CtlStatus::Note(const char* format, ...) {
    if (sQuiet) return;
    va_list args;
    va_start(args, format);
    PrintLine(false, format, args);
    va_end(args);
}

const std::string& CtlStatus::FirstFailure() {
    return sFirstFailure;
}
