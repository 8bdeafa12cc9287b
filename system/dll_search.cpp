#include "system/dll_search.h"

#include <windows.h>
#include "system/system_library.h"

void RestrictDllSearchToSystemFolder()
{
    // Taken by name: Windows 7 without its loader update has no
    // SetDefaultDllDirectories, and importing it would stop the program from
    // starting there at all.
    typedef BOOL(WINAPI * SetDefaultDllDirectoriesFunction)(DWORD);
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    SetDefaultDllDirectoriesFunction setDefault =
        kernel ? reinterpret_cast<SetDefaultDllDirectoriesFunction>(reinterpret_cast<void*>(
                     GetProcAddress(kernel, "SetDefaultDllDirectories")))
               : nullptr;
    if (setDefault && setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32))
        return;
    // At least take the current folder out of the search.
    SetDllDirectoryA("");
}

void LoadLibrariesLoadedByName()
{
    // Kept loaded for the process's life.
    LoadSystemLibrary("msimg32.dll");
}
