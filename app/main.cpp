#include <windows.h>
#include "app/run_sequence.h"
#include "system/dll_search.h"
#include "system/junction_trust.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    RestrictDllSearchToSystemFolder();
    LoadLibrariesLoadedByName();
    IgnoreJunctionsOfNonAdministrators();
    return RunUpdate();
}
