#pragma once
// How long a test waits for a window, a process or a file. Generous: with
// every core busy a run may take many times its usual time, and a wait that
// gives up early fails a test that would have passed. The bound only keeps
// a hung program from blocking the suite.

#include <windows.h>
#include <functional>

const DWORD kWaitMs = 60000;

// Asks done every few milliseconds until it holds (true) or timeoutMs have
// passed (false, after one last ask).
bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs = kWaitMs);
