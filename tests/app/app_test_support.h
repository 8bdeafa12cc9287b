#pragma once
// Helpers shared by the updater's tests.

#include <windows.h>
#include <string>
#include "base/string.h"

// The folder holding the running test program (no trailing backslash).
std::string ProgramFolder();

// A fixture library built beside the tests: fixtures\<name>.
std::string FixturePath(const std::string& name);

// Text of a String, "" for one without buffer.
std::string AsStd(const String& value);
// A UTF-16 text in code page 932, as the tests write their expectations.
std::string AsStd(const std::wstring& value);

// A key under HKEY_LOCAL_MACHINE created for one test and deleted with
// everything beneath it afterwards.
class MachineKey {
public:
    explicit MachineKey(const std::string& subKey);
    MachineKey(const MachineKey&) = delete;
    MachineKey& operator=(const MachineKey&) = delete;
    virtual ~MachineKey();

    // Stores exactly these bytes (no terminator added).
    void SetRaw(const char* name, const std::string& bytes, DWORD type = REG_SZ);
    // Stores text with its terminator as REG_SZ.
    void SetText(const char* name, const std::string& text);

    HKEY handle;

private:
    std::string subKey_;
};

// A name no other test run uses at the same time.
std::string UniqueName(const char* prefix);
