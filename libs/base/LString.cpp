#include "LString.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <locale.h>

namespace {
// The locale that texts are formatted in, whatever the process locale is: numbers read "2.5"
// everywhere, as the converters parse them. Null (the process locale) if it cannot be made.
locale_t FormatLocale() {
    static const locale_t locale = newlocale(LC_ALL_MASK, "C", locale_t(nullptr));
    return locale;
}
} // namespace

LString::LString(const char* text) {
    *this = text;
}

LString::LString(const LString& other) : LObject() {
    *this = other.mBuffer;
}

LString::~LString() {
    ReleaseBuffer();
}

LString& LString::operator=(const char* text) {
    if (!text) {
        if (mBuffer) mBuffer[0] = 0;
        return *this;
    }
    if (text == mBuffer) return *this;
    size_t length = strlen(text);
    AllocateBuffer(length);
    memmove(mBuffer, text, length + 1);
    return *this;
}

LString& LString::operator=(const LString& other) {
    return *this = other.mBuffer;
}

void LString::AllocateBuffer(size_t n) {
    if (mBufferSize >= n + 1) return;
    size_t size = (n + 16) & ~size_t(15);
    char* buffer = new char[size];
    if (mBuffer)
        memcpy(buffer, mBuffer, strlen(mBuffer) + 1);
    else
        buffer[0] = 0;
    delete[] mBuffer;
    mBuffer = buffer;
    mBufferSize = size;
}

void LString::ReleaseBuffer() {
    delete[] mBuffer;
    mBuffer = nullptr;
    mBufferSize = 0;
}

size_t LString::Length() const {
    return mBuffer ? strlen(mBuffer) : 0;
}

bool LString::operator==(const char* text) const {
    return strcmp(CString(), text ? text : "") == 0;
}

LString& LString::operator+=(const char* text) {
    if (!text) return *this;
    size_t length = Length();
    size_t extra = strlen(text);
    if (text >= mBuffer && text < mBuffer + mBufferSize) {
        LString copy(text); // appending a part of itself: the buffer may move
        return *this += copy.CString();
    }
    AllocateBuffer(length + extra);
    memcpy(mBuffer + length, text, extra + 1);
    return *this;
}

LString LString::operator+(const char* text) const {
    LString result(*this);
    result += text;
    return result;
}

LString& LString::operator<<(int byte) {
    size_t length = Length();
    AllocateBuffer(length + 1);
    mBuffer[length] = static_cast<char>(byte);
    mBuffer[length + 1] = 0;
    return *this;
}

LString& LString::Format(const char* format, ...) {
    char* text = nullptr;
    va_list args;
    const locale_t previous = uselocale(FormatLocale()); // this thread only
    va_start(args, format);
    int result = vasprintf(&text, format, args);
    va_end(args);
    uselocale(previous);
    if (result < 0) {
        ReleaseBuffer();
        return *this;
    }
    *this = text;
    free(text);
    return *this;
}
