#include "paths/lock_retry.h"

#include "paths/open_failure.h"

namespace {

const int kTransientTries = 4;
const DWORD kFirstDelayMs = 10;

}  // namespace

LockWait::LockWait() : waits_(0), delay_(kFirstDelayMs) {}

LockWait::~LockWait() {}

bool LockWait::Wait()
{
    if (waits_ >= kTransientTries)
        return false;
    ++waits_;
    Sleep(delay_);
    delay_ *= 2;
    return true;
}

void LockWait::Reset()
{
    waits_ = 0;
    delay_ = kFirstDelayMs;
}

LockRetry::LockRetry(const std::wstring& shown, bool accessDeniedPasses)
    : shown_(shown), accessDeniedPasses_(accessDeniedPasses)
{
}

LockRetry::~LockRetry() {}

bool LockRetry::Again(DWORD error)
{
    if (error == 0)
        error = ERROR_ACCESS_DENIED;
    const bool transient = error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION ||
                           (accessDeniedPasses_ && error == ERROR_ACCESS_DENIED);
    if (transient && wait_.Wait())
        return true;
    wait_.Reset();
    SetLastError(error);
    return HandleOpenFailure(shown_);
}
