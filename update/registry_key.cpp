#include "update/registry_key.h"

#include <string>

RegistryKey::RegistryKey() {}

RegistryKey::~RegistryKey() {}

bool RegistryKey::Open(HKEY root, const char* subKey)
{
    Close();
    // Read access is all this program needs; asking for more would make a
    // key that the user may read but not change look absent.
    HKEY opened = nullptr;
    if (RegOpenKeyExA(root, subKey, 0, KEY_READ, &opened) == ERROR_SUCCESS)
        handle.Reset(opened);
    return handle.Valid();
}

void RegistryKey::QueryString(const char* valueName, String& value)
{
    if (!handle.Valid() || !value.text || value.capacity <= 0)
        return;
    // The platform leaves the buffer undefined when a query fails, so the old
    // text is put back in that case.
    const std::string previous(value.text);
    DWORD size = DWORD(value.capacity);
    const LONG result = RegQueryValueExA(handle.Get(), valueName, nullptr, nullptr,
                                         reinterpret_cast<BYTE*>(value.text), &size);
    if (result == ERROR_SUCCESS) {
        // Stored data need not end with a NUL; the block has one byte beyond
        // capacity, so the text can always end right after the data.
        value.text[size < DWORD(value.capacity) ? size : DWORD(value.capacity)] = '\0';
    } else {
        lstrcpynA(value.text, previous.c_str(), value.capacity + 1);
    }
    value.length = lstrlenA(value.text);
    value.cursor = value.text;
}

void RegistryKey::Close()
{
    handle.Reset();
}
