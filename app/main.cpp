#include <windows.h>
#include "app/run_sequence.h"
#include "base/dll_search.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    RestrictDllSearchToSystemFolder();
    LoadLibrariesLoadedByName();
    return RunUpdate();
}
