#include "system/registry_key.h"

#include <vector>
#include "base/text_932.h"

namespace {

bool IsStringType(DWORD type)
{
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

// Bytes the -A call would need for the stored string, in code page 932.
uint32_t Bytes932(const wchar_t* text, size_t count)
{
    if (count == 0)
        return 0;
    const int bytes = WideCharToMultiByte(kProductCodePage, 0, text, int(count), nullptr, 0,
                                          nullptr, nullptr);
    return bytes > 0 ? uint32_t(bytes) : UINT32_MAX;
}

}  // namespace

RegistryKey::RegistryKey() {}

RegistryKey::~RegistryKey() {}

bool RegistryKey::Open(HKEY root, const std::wstring& subKey)
{
    Close();
    // Read access is all this program needs; asking for more would make a
    // key that the user may read but not change look absent.
    HKEY opened = nullptr;
    if (RegOpenKeyExW(root, subKey.c_str(), 0, KEY_READ, &opened) == ERROR_SUCCESS)
        handle.Reset(opened);
    return handle.Valid();
}

bool RegistryKey::QueryString(const wchar_t* valueName, std::wstring& value, uint32_t room)
{
    if (!handle.Valid())
        return false;
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExW(handle.Get(), valueName, nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
        return false;
    // Room for a terminator of either kind behind whatever is stored.
    std::vector<unsigned char> data(size_t(size) + sizeof(wchar_t), 0);
    if (RegQueryValueExW(handle.Get(), valueName, nullptr, &type, data.data(), &size) !=
        ERROR_SUCCESS)
        return false;
    std::wstring text;
    if (IsStringType(type)) {
        const wchar_t* wide = reinterpret_cast<const wchar_t*>(data.data());
        if (Bytes932(wide, size / sizeof(wchar_t)) > room)
            return false;
        text.assign(wide);
    } else {
        if (size > room)
            return false;
        text = WideFrom932(reinterpret_cast<const char*>(data.data()));
    }
    value = text;
    return true;
}

void RegistryKey::Close()
{
    handle.Reset();
}
