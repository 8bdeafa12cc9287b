#pragma once
// Failures travel as exceptions, thrown by value and caught by reference:
//   OCException       a 32-bit code
//   OCErrorException  the platform's last error at construction + a message
//   a bare DWORD      STATUS_NO_MEMORY (0xC0000017) from the page allocator;
//                     catch it as `catch (DWORD code)`.

#include <cstdint>
#include "base/string.h"

class OCException {
public:
    uint32_t code;

    explicit OCException(uint32_t code);
    OCException(const OCException& other);
    virtual ~OCException();
};

class OCErrorException : public OCException {
public:
    String message;

    // Reads GetLastError() first, then copies the message. Format a message
    // that names a path before building the exception, never after.
    explicit OCErrorException(const char* message);
    OCErrorException(const OCErrorException& other);
    ~OCErrorException() override;
};

// Throws STATUS_NO_MEMORY as a bare DWORD.
[[noreturn]] void RaiseNoMemory();
