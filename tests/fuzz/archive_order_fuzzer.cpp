// Two archives, a.pak and B.pak, searched in that order (case ignored),
// and a folder c.pak, which is no archive. Input: the sought name, a NUL, the bytes of both archives, and a final
// 16-bit little-endian length of a.pak's part.

#include <cstring>
#include <string>
#include "tests/fuzz/fuzz_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    const uint8_t* end = data + size - 2;
    const size_t split = size_t(end[0] | end[1] << 8);
    const uint8_t* nul = static_cast<const uint8_t*>(memchr(data, 0, size_t(end - data)));
    const std::string name(data, nul ? nul : end);
    const uint8_t* first = nul ? nul + 1 : end;
    const size_t firstSize = split < size_t(end - first) ? split : size_t(end - first);

    fuzz_win32::ResetSandbox();
    fuzz_win32::PutFile("a.pak", first, firstSize);
    fuzz_win32::PutFile("B.pak", first + firstSize, size_t(end - first) - firstSize);
    CreateDirectoryW(L"c.pak", nullptr);
    LookUp(name.c_str(), IDIGNORE);
    return 0;
}
