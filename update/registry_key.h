#pragma once
#include <windows.h>
#include "base/owned.h"
#include "base/string.h"

inline void CloseRegistryKey(HKEY key)
{
    RegCloseKey(key);
}

// Owns one open registry key; may be opened, closed and opened again.
class RegistryKey {
public:
    Owned<HKEY, CloseRegistryKey> handle;  // empty when closed

    RegistryKey();
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;
    virtual ~RegistryKey();

    // Closes a held key, then opens subKey for reading. True when open.
    bool Open(HKEY root, const char* subKey);
    // Reads the value's data into value's buffer (value.capacity as its size).
    // Nothing open or a failed query: value keeps its text.
    void QueryString(const char* valueName, String& value);
    void Close();
};
