#pragma once
// Loading a library of the system folder, never one of the program's folder
// or the current one.

#include <windows.h>

// name: a file name such as "version.dll". Null (with the last error) when
// it cannot be loaded.
HMODULE LoadSystemLibrary(const char* name);
