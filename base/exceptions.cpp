#include "base/exceptions.h"

#include <windows.h>
#include "base/text_932.h"

OCException::OCException(uint32_t code) : code(code) {}

OCException::OCException(const OCException& other) : code(other.code) {}

OCException::~OCException() {}

// The last error is read in the base's initializer, before the message copy
// can touch it.
OCErrorException::OCErrorException(const char* message)
    : OCException(GetLastError()), message()
{
    try {
        this->message.Assign(message);
        wideMessage = WideFrom932(message);
    } catch (...) {
        // Out of memory for the text: the code still tells what failed.
    }
}

OCErrorException::OCErrorException(const char* sentence, const std::wstring& path)
    : OCException(GetLastError()), message()
{
    try {
        wideMessage = WideSentence(sentence, path);
        ShownIn932(wideMessage, message);
    } catch (...) {
    }
}

OCErrorException::OCErrorException(const OCErrorException& other)
    : OCException(other), message()
{
    // A copy made while throwing must not throw itself.
    try {
        message.Assign(other.message);
        wideMessage = other.wideMessage;
    } catch (...) {
    }
}

OCErrorException::~OCErrorException() {}

void RaiseNoMemory()
{
    throw static_cast<DWORD>(STATUS_NO_MEMORY);
}
