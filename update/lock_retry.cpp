#include "update/lock_retry.h"

#include "pak/open_failure.h"

namespace {

const int kTransientTries = 4;
const DWORD kFirstDelayMs = 10;

}  // namespace

LockRetry::LockRetry(const std::wstring& shown, bool accessDeniedPasses)
    : shown_(shown), accessDeniedPasses_(accessDeniedPasses), tries_(0), delay_(kFirstDelayMs)
{
}

LockRetry::~LockRetry() {}

bool LockRetry::Again(DWORD error)
{
    if (error == 0)
        error = ERROR_ACCESS_DENIED;
    const bool transient = error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION ||
                           (accessDeniedPasses_ && error == ERROR_ACCESS_DENIED);
    if (transient && tries_ < kTransientTries) {
        ++tries_;
        Sleep(delay_);
        delay_ *= 2;
        return true;
    }
    tries_ = 0;
    delay_ = kFirstDelayMs;
    SetLastError(error);
    return HandleOpenFailure(shown_);
}
