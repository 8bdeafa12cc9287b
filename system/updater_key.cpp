#include "system/updater_key.h"

#include "system/sha256.h"

const wchar_t kUpdaterKey[] = L"SOFTWARE\\QuillmarkUpdater";
const wchar_t kJournalsList[] = L"Journals";
const wchar_t kProductsList[] = L"Products";

namespace {

// The longest folder path kept, in characters.
const size_t kMaxFolderLength = 32767;

// An entry's name: the SHA-256 of the folder's path in upper case, as the
// system compares paths, in hex (a registry key's name holds no "\\").
std::wstring EntryName(const wchar_t* list, const std::wstring& folder)
{
    std::wstring upper(folder);
    if (!upper.empty())
        LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, folder.c_str(), int(folder.size()),
                      &upper[0], int(upper.size()), nullptr, nullptr, 0);
    const std::string hex = Sha256::Hex(Sha256::Of(upper.data(), upper.size() * sizeof(wchar_t)));
    return std::wstring(kUpdaterKey) + L"\\" + list + L"\\" + std::wstring(hex.begin(), hex.end());
}

bool SameFolder(const std::wstring& a, const std::wstring& b)
{
    return CompareStringOrdinal(a.c_str(), int(a.size()), b.c_str(), int(b.size()), TRUE) == CSTR_EQUAL;
}

}  // namespace

bool UpdaterEntry::Open(const wchar_t* list, const std::wstring& folder)
{
    HKEY opened = nullptr;
    key.Reset();
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, EntryName(list, folder).c_str(), 0, KEY_READ, &opened) !=
        ERROR_SUCCESS)
        return false;
    key.Reset(opened);
    std::wstring named;
    if (!ReadText(L"Folder", named, kMaxFolderLength) || !SameFolder(named, folder)) {
        key.Reset();
        return false;
    }
    return true;
}

bool UpdaterEntry::Create(const wchar_t* list, const std::wstring& folder)
{
    HKEY created = nullptr;
    key.Reset();
    const LONG error = RegCreateKeyExW(HKEY_LOCAL_MACHINE, EntryName(list, folder).c_str(), 0, nullptr,
                                       REG_OPTION_NON_VOLATILE, KEY_READ | KEY_SET_VALUE, nullptr,
                                       &created, nullptr);
    if (error != ERROR_SUCCESS) {
        SetLastError(DWORD(error));
        return false;
    }
    key.Reset(created);
    return WriteText(L"Folder", folder);
}

bool UpdaterEntry::ReadText(const wchar_t* value, std::wstring& text, size_t maxLength) const
{
    DWORD type = 0, size = 0;
    if (!key.Valid() || RegQueryValueExW(key.Get(), value, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        type != REG_SZ || size / sizeof(wchar_t) > maxLength + 1)
        return false;
    std::vector<wchar_t> data(size / sizeof(wchar_t) + 1, L'\0');
    if (RegQueryValueExW(key.Get(), value, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size) !=
            ERROR_SUCCESS ||
        type != REG_SZ)
        return false;
    text = data.data();
    return true;
}

bool UpdaterEntry::ReadBytes(const wchar_t* value, void* bytes, DWORD size) const
{
    DWORD type = 0, got = size;
    return key.Valid() &&
           RegQueryValueExW(key.Get(), value, nullptr, &type, static_cast<BYTE*>(bytes), &got) == ERROR_SUCCESS &&
           type == REG_BINARY && got == size;
}

bool UpdaterEntry::WriteText(const wchar_t* value, const std::wstring& text)
{
    const LONG error = RegSetValueExW(key.Get(), value, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                                      DWORD((text.size() + 1) * sizeof(wchar_t)));
    SetLastError(DWORD(error));
    return error == ERROR_SUCCESS;
}

bool UpdaterEntry::WriteBytes(const wchar_t* value, const void* bytes, DWORD size)
{
    const LONG error = RegSetValueExW(key.Get(), value, 0, REG_BINARY, static_cast<const BYTE*>(bytes), size);
    SetLastError(DWORD(error));
    return error == ERROR_SUCCESS;
}

bool UpdaterEntry::Flush()
{
    const LONG error = RegFlushKey(key.Get());
    SetLastError(DWORD(error));
    return error == ERROR_SUCCESS;
}

bool UpdaterEntry::Remove(const wchar_t* list, const std::wstring& folder)
{
    UpdaterEntry entry;
    if (!entry.Open(list, folder))
        return true;
    entry.key.Reset();
    const LONG error = RegDeleteKeyW(HKEY_LOCAL_MACHINE, EntryName(list, folder).c_str());
    return error == ERROR_SUCCESS || error == ERROR_FILE_NOT_FOUND;
}
