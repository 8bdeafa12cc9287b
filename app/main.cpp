#include <windows.h>
#include "app/run_sequence.h"
#include "base/dll_search.h"
#include "base/junction_trust.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    RestrictDllSearchToSystemFolder();
    LoadLibrariesLoadedByName();
    IgnoreJunctionsOfNonAdministrators();
    return RunUpdate();
}
