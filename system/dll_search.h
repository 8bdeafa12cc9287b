#pragma once
// Restricts every later DLL load of the process to the system folder. The
// programs may be started from a folder anyone can write to (a download
// folder), whose DLLs must never be loaded. Call as the entry point's first
// statement.
void RestrictDllSearchToSystemFolder();

// Loads, from the system folder, the libraries that system code loads by
// name later whatever the search was restricted to (Wine's themed controls
// load msimg32.dll when a dialog first paints): that name then finds the
// copy already loaded. Call before the first window.
void LoadLibrariesLoadedByName();
