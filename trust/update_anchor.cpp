#include "trust/update_anchor.h"

#include <algorithm>
#include "base/exceptions.h"
#include "base/messages.h"
#include "base/text_932.h"
#include "system/registry_key.h"
#include "trust/update_manifest.h"

namespace {

// The longest UpdateKeys read, in characters: over a thousand keys.
const size_t kMaxKeysLength = 1u << 17;

std::wstring AnchorKeyName(const UpdateSettings& settings)
{
    String subKey;
    subKey.Format("SOFTWARE\\%s\\%s", TextOf(settings.brand), TextOf(settings.name));
    return WideFrom932(subKey);
}

bool Contains(const std::vector<P256PublicKey>& keys, const P256PublicKey& key)
{
    return std::find(keys.begin(), keys.end(), key) != keys.end();
}

[[noreturn]] void RaiseWriteFailure(LONG error)
{
    SetLastError(DWORD(error));
    throw OCErrorException(kAnchorWriteFailedText);
}

}  // namespace

UpdateAnchor::UpdateAnchor() : present(false), sequence(0) {}

UpdateAnchor::~UpdateAnchor() {}

void ReadUpdateAnchor(const UpdateSettings& settings, UpdateAnchor& anchor)
{
    anchor = UpdateAnchor();
    RegistryKey key;
    if (!key.Open(HKEY_LOCAL_MACHINE, AnchorKeyName(settings)))
        return;
    DWORD type = 0, size = 0;
    LONG error = RegQueryValueExW(key.handle.Get(), L"UpdateKeys", nullptr, &type, nullptr, &size);
    if (error == ERROR_FILE_NOT_FOUND)
        return;
    anchor.present = true;
    std::vector<wchar_t> list(size / sizeof(wchar_t) + 1, L'\0');
    if (error == ERROR_SUCCESS && type == REG_SZ && size / sizeof(wchar_t) <= kMaxKeysLength)
        error = RegQueryValueExW(key.handle.Get(), L"UpdateKeys", nullptr, &type,
                                 reinterpret_cast<BYTE*>(list.data()), &size);
    else
        error = ERROR_INVALID_DATA;
    if (error != ERROR_SUCCESS || type != REG_SZ || !ParseKeyList(list.data(), anchor.keys)) {
        anchor.fault = L"UpdateKeys";
        return;
    }
    DWORD sequence = 0;
    size = sizeof sequence;
    error = RegQueryValueExW(key.handle.Get(), L"UpdateSequence", nullptr, &type,
                             reinterpret_cast<BYTE*>(&sequence), &size);
    if (error == ERROR_FILE_NOT_FOUND)
        return;
    if (error != ERROR_SUCCESS || type != REG_DWORD || size != sizeof sequence)
        anchor.fault = L"UpdateSequence";
    else
        anchor.sequence = sequence;
}

void RecordUpdateAnchor(const UpdateSettings& settings, uint32_t sequence,
                        const std::vector<P256PublicKey>& keys)
{
    HKEY opened = nullptr;
    const LONG error =
        RegOpenKeyExW(HKEY_LOCAL_MACHINE, AnchorKeyName(settings).c_str(), 0, KEY_SET_VALUE, &opened);
    if (error != ERROR_SUCCESS)
        RaiseWriteFailure(error);
    const Owned<HKEY, CloseRegistryKey> key(opened);
    const DWORD value = sequence;
    LONG result = RegSetValueExW(key.Get(), L"UpdateSequence", 0, REG_DWORD,
                                 reinterpret_cast<const BYTE*>(&value), sizeof value);
    if (result != ERROR_SUCCESS)
        RaiseWriteFailure(result);
    if (keys.empty())
        return;
    const std::wstring list = KeyListText(keys);
    result = RegSetValueExW(key.Get(), L"UpdateKeys", 0, REG_SZ,
                            reinterpret_cast<const BYTE*>(list.c_str()),
                            DWORD((list.size() + 1) * sizeof(wchar_t)));
    if (result != ERROR_SUCCESS)
        RaiseWriteFailure(result);
}

bool ParseKeyList(const std::wstring& text, std::vector<P256PublicKey>& keys)
{
    keys.clear();
    size_t at = 0;
    while (at <= text.size()) {
        size_t end = text.find(L';', at);
        if (end == std::wstring::npos)
            end = text.size();
        size_t first = at, last = end;
        while (first < last && text[first] == L' ')
            ++first;
        while (last > first && text[last - 1] == L' ')
            --last;
        at = end + 1;
        if (first == last)
            continue;
        std::string hex;
        for (size_t i = first; i < last; ++i)
            hex += text[i] < 0x80 ? char(text[i]) : '?';
        P256PublicKey key;
        if (!ParsePublicKey(hex, key))
            return false;
        if (!Contains(keys, key))
            keys.push_back(key);
    }
    return !keys.empty();
}

std::vector<P256PublicKey> KeysAfter(const std::vector<P256PublicKey>& keys,
                                     const std::vector<P256PublicKey>& trust,
                                     const std::vector<P256PublicKey>& revoke)
{
    std::vector<P256PublicKey> after;
    for (const auto* list : {&keys, &trust}) {
        for (const P256PublicKey& key : *list) {
            if (!Contains(after, key) && !Contains(revoke, key))
                after.push_back(key);
        }
    }
    return after.empty() ? keys : after;
}

std::wstring KeyListText(const std::vector<P256PublicKey>& keys)
{
    std::wstring text;
    for (const P256PublicKey& key : keys) {
        if (!text.empty())
            text += L';';
        const std::string hex = PublicKeyText(key);
        text.append(hex.begin(), hex.end());
    }
    return text;
}
