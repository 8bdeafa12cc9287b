// The run's record in the fuzz build: never open, as in every reader under
// fuzzing, so every line is dropped and every text is left empty.

#include "system/run_log.h"

bool StartRunLog(const std::wstring&)
{
    return false;
}

bool StartRunLogIn(const std::wstring&)
{
    return false;
}

std::wstring RunLogName(const SYSTEMTIME&, unsigned)
{
    return std::wstring();
}

const std::wstring& RunLogPath()
{
    static const std::wstring none;
    return none;
}

void EndRunLog() {}

void LogEvent(const std::string&) {}

std::string LogText(const std::wstring&)
{
    return std::string();
}

std::string LogText932(const char*)
{
    return std::string();
}

std::string LogError(DWORD)
{
    return std::string();
}

void LogFailure(const char*, const std::wstring&, DWORD) {}
