#include "system/late_binding.h"

#include "system/system_library.h"

extern "C" void* __cdecl LateBind(LateImport* import)
{
    HMODULE module = LoadSystemLibrary(import->library);
    void* function =
        module ? reinterpret_cast<void*>(GetProcAddress(module, import->name)) : nullptr;
    if (!function)
        ExitProcess(ERROR_PROC_NOT_FOUND);
    // The library stays loaded for the process's life: the slot keeps its
    // address.
    *import->slot = function;
    return function;
}
