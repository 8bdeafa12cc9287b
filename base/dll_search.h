#pragma once
// Restricts every later DLL load of the process to the system folder. The
// programs may be started from a folder anyone can write to (a download
// folder), whose DLLs must never be loaded. Call as the entry point's first
// statement.
void RestrictDllSearchToSystemFolder();
