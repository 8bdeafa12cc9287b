#pragma once
// The three version-resource functions, taken from version.dll in the system
// folder only. version.dll is no KnownDLL: imported, a copy planted beside
// the program (in an update folder any program may write to) would be loaded
// into the elevated process before its first line runs.

#include <windows.h>
#include "base/owned.h"

class VersionLibrary {
public:
    DWORD(WINAPI* getFileVersionInfoSize)(LPCWSTR, LPDWORD);
    BOOL(WINAPI* getFileVersionInfo)(LPCWSTR, DWORD, DWORD, LPVOID);
    BOOL(WINAPI* verQueryValue)(LPCVOID, LPCWSTR, LPVOID*, PUINT);

    // The process's one instance, loaded and resolved on first use. Raises
    // OCErrorException "version.dll を読み込めませんでした。" when the library or
    // one of its functions cannot be had (asked again on the next call).
    static const VersionLibrary& Get();

    VersionLibrary(const VersionLibrary&) = delete;
    VersionLibrary& operator=(const VersionLibrary&) = delete;
    virtual ~VersionLibrary();

private:
    VersionLibrary();
    bool Load();

    ModuleOwner module_;
};
