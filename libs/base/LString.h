#pragma once

#include "LObject.h"

#include <cstddef>

// Counted, growable, NUL-terminated UTF-8 byte string. A null buffer is the empty string.
class LString : public virtual LObject {
public:
    LString() = default;
    LString(const char* text);
    LString(const LString& other);
    ~LString() override;

    LString& operator=(const char* text);
    LString& operator=(const LString& other);

    // Guarantees room for n characters and the terminator; never shrinks.
    void AllocateBuffer(size_t n);
    void ReleaseBuffer();

    size_t Length() const;
    size_t BufferSize() const { return mBufferSize; }
    const char* CString() const { return mBuffer ? mBuffer : ""; }
    operator const char*() const { return CString(); }

    bool operator==(const char* text) const;
    bool operator!=(const char* text) const { return !(*this == text); }
    LString& operator+=(const char* text);
    LString operator+(const char* text) const;
    // Appends one byte.
    LString& operator<<(int byte);

    // Replaces the text with the printf-style result, formatted in the "C" locale whatever the
    // process locale is (a decimal point, never a comma); empty when formatting fails.
    LString& Format(const char* format, ...) __attribute__((format(printf, 2, 3)));

private:
    char* mBuffer = nullptr;
    size_t mBufferSize = 0;
};
