#include "tests/support/wait.h"

namespace {

// Short enough that a test hardly waits longer than it must, long enough
// that the poll leaves the cores to the program it waits for.
const DWORD kPollMs = 10;

}  // namespace

bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    while (GetTickCount() - start <= timeoutMs) {
        if (done())
            return true;
        Sleep(kPollMs);
    }
    return done();
}
