#pragma once
// Failures travel as exceptions, thrown by value and caught by reference:
//   OCException       a 32-bit code
//   OCErrorException  the platform's last error at construction + a message
//   a bare DWORD      STATUS_NO_MEMORY (0xC0000017) from the page allocator;
//                     catch it as `catch (DWORD code)`.
// "OC" is the prefix of the product's own exception classes and of nothing
// else: a handler that catches an OC class catches a failure the product
// raised and words itself, never one of the runtime's (std::bad_alloc ...).

#include <cstdint>
#include <string>
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
    String message;            // code page 932, as every text of the product
    std::wstring wideMessage;  // what the user is shown: the message in UTF-16

    // Reads GetLastError() first, then copies the message. Format a message
    // that names a path before building the exception, never after.
    explicit OCErrorException(const char* message);
    // sentence: a message with one "%s", where path is put. The path is kept
    // exactly in wideMessage; message holds it as far as code page 932 can.
    OCErrorException(const char* sentence, const std::wstring& path);
    OCErrorException(const OCErrorException& other);
    ~OCErrorException() override;
};

// Throws STATUS_NO_MEMORY as a bare DWORD.
[[noreturn]] void RaiseNoMemory();
