#pragma once
// The stage for one end-to-end run: an update folder and an install folder
// in a scratch folder, the product's registry key pointing at the install
// folder, and helpers to look at files the way the checks need them.

#include "tests/e2e/updater_session.h"
#include "tests/support/scratch_dir.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <string>

// Folder of the running test program; updater.exe is built next to it.
std::string ProgramFolder();
std::string UpdaterExe();
// A program or library built with only a FileVersion text (or none).
std::string StubBytes(const std::string& fileName);

// HKLM\SOFTWARE\<brand>\<name>, 32-bit view like the updater's; removed on
// destruction.
class ProductKey {
public:
    ProductKey(const std::string& brand, const std::string& name);
    ProductKey(const ProductKey&) = delete;
    ProductKey& operator=(const ProductKey&) = delete;
    virtual ~ProductKey();
    void SetExecute(const std::string& path);  // code page 932
    void SetExecute(const std::wstring& path);

private:
    std::string brand_, name_;
};

FILETIME MakeTime(WORD year, WORD month, WORD day);
FILETIME LastWriteTime(const std::string& path);
FILETIME LastAccessTime(const std::string& path);
// Sets the last-write time, and the last-access time to lastAccess (or to
// the same time).
void SetLastWriteTime(const std::string& path, const FILETIME& time,
                      const FILETIME* lastAccess = nullptr);
bool SameTime(const FILETIME& a, const FILETIME& b);
DWORD Attributes(const std::string& path);

class E2ETest : public ::testing::Test {
protected:
    E2ETest();

    // update.ini naming this run's product, Title Demo, Version 2.0 and the
    // file list, then any further lines.
    void WriteIni(const std::string& fileList, const std::string& moreLines = "");
    std::string Ship(const std::string& name, const std::string& bytes);       // in update
    std::string Installed(const std::string& name, const std::string& bytes);  // in install
    std::string ShippedPath(const std::string& name) const { return update + "\\" + name; }
    std::string InstalledPath(const std::string& name) const { return install + "\\" + name; }

    SessionResult Run(const std::vector<Step>& steps);
    // Checks that the run ended by itself with exit code 0 after its steps.
    void ExpectCleanEnd(const SessionResult& run);

    static const char* const kCaption;  // UTF-8 caption of this run's windows
    static const char* const kDone;     // UTF-8 completion text

    ScratchDir scratch;
    std::string update, install, brand, name;
    ProductKey key;
};
