// One archive, a.pak, in the current directory. Input: one byte for the
// answer to an open prompt (by its value modulo 3: '0' Ignore, '1' Retry,
// '2' Abort), the sought name, a NUL, then the archive's bytes.

#include <cstring>
#include <string>
#include "tests/fuzz/fuzz_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    static const int answers[] = {IDIGNORE, IDRETRY, IDABORT};
    const int answer = answers[data[0] % 3];
    ++data;
    --size;
    const uint8_t* end = data + size;
    const uint8_t* nul = static_cast<const uint8_t*>(memchr(data, 0, size));
    const std::string name(data, nul ? nul : end);
    const uint8_t* archive = nul ? nul + 1 : end;

    fuzz_win32::ResetSandbox();
    fuzz_win32::PutFile("a.pak", archive, size_t(end - archive));
    LookUp(name.c_str(), answer);
    ReadRevision("a.pak");
    ReadRevision(name.c_str());
    return 0;
}
