#pragma once
#include <windows.h>
#include <cstdint>
#include <string>
#include "base/owned.h"

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
    bool Open(HKEY root, const std::wstring& subKey);
    // value := the value's data as text, up to its first NUL: UTF-16 as
    // stored for the string types, code page 932 bytes for any other. A
    // value whose text would take more than room bytes of code page 932,
    // terminator included, is refused as the -A call with a buffer of that
    // size refuses it on a Japanese system. False, value untouched, when
    // nothing is open, the value is missing or refused.
    bool QueryString(const wchar_t* valueName, std::wstring& value, uint32_t room);
    void Close();
};
