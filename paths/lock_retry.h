#pragma once
// What to do after a failed attempt on a file being replaced. Antivirus
// scanners and indexers hold a freshly written file for a moment: such a
// lock is waited out briefly (LockWait); anything else, and a lock that
// stays, goes to the open-failure handler, naming the file.

#include <windows.h>
#include <string>

// How long a lock counts as passing: four waits, 10 + 20 + 40 + 80 ms. Every
// file and folder of the update's own waits out a lock on this schedule.
class LockWait {
public:
    LockWait();
    virtual ~LockWait();

    // Sleeps the next step; false, without sleeping, once all are spent.
    bool Wait();
    // The schedule from its start again.
    void Reset();

private:
    int waits_;
    DWORD delay_;
};

class LockRetry {
public:
    // shown: the path the user is asked about. accessDeniedPasses: "access
    // denied" may be a lock too: a rename over a file another program holds
    // (even one that shares deleting) and a new name a scanner is looking at
    // are refused that way.
    LockRetry(const std::wstring& shown, bool accessDeniedPasses);
    virtual ~LockRetry();

    // error: what the attempt failed with. True: try again. False: the
    // handler said give up (Ignore, or no handler). Abort raises.
    bool Again(DWORD error);

private:
    const std::wstring& shown_;
    bool accessDeniedPasses_;
    LockWait wait_;
};
