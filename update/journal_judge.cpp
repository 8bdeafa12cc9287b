#include "update/journal_judge.h"

#include <windows.h>
#include <algorithm>
#include "update/item_rule.h"

namespace {

bool IsUpperHex(wchar_t c)
{
    return (c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'F');
}

bool AllUpperHex(const std::wstring& text, size_t from, size_t to)
{
    for (size_t i = from; i < to; ++i)
        if (!IsUpperHex(text[i]))
            return false;
    return to > from;
}

// The item rule judges code page 932 names; a name that does not convert
// exactly was never an item.
bool PassesItemRule(const std::wstring& name, bool emptyAllowed)
{
    if (name.empty())
        return emptyAllowed;
    BOOL lossy = FALSE;
    const int size = WideCharToMultiByte(932, WC_NO_BEST_FIT_CHARS, name.c_str(), int(name.size()),
                                         nullptr, 0, nullptr, &lossy);
    if (size <= 0 || lossy)
        return false;
    std::string bytes(size_t(size), '\0');
    WideCharToMultiByte(932, WC_NO_BEST_FIT_CHARS, name.c_str(), int(name.size()), &bytes[0], size,
                        nullptr, &lossy);
    return !lossy && bytes.find('\0') == std::string::npos && JudgeItem(bytes.c_str()) == ItemAccepted;
}

std::wstring FolderOf(const std::wstring& relative)
{
    const size_t slash = relative.rfind(L'\\');
    return slash == std::wstring::npos ? std::wstring() : relative.substr(0, slash);
}

// <folder>\<prefix><hex><extension> beside the target, or in the run's own
// <folder>\upd<run>.d\<hex>\; folder "" for the install folder itself.
bool IsRunKeptFile(const std::wstring& path, const std::wstring& folder,
                   const std::wstring& prefix, const wchar_t* extension)
{
    const std::wstring base = folder.empty() ? std::wstring() : folder + L"\\";
    if (path.compare(0, base.size(), base) != 0)
        return false;
    const std::wstring rest = path.substr(base.size());
    if (IsRunFileName(rest, prefix, extension))
        return true;
    const std::wstring own = prefix.substr(0, prefix.size() - 1) + L".d\\";
    const size_t slash = rest.find(L'\\', own.size());
    return rest.compare(0, own.size(), own) == 0 && slash != std::wstring::npos &&
           AllUpperHex(rest, own.size(), slash) && IsRunFileName(rest.substr(slash + 1), prefix, extension);
}

}  // namespace

bool IsRunFileName(const std::wstring& name, const std::wstring& prefix, const wchar_t* extension)
{
    const size_t extensionLength = wcslen(extension);
    if (name.size() < prefix.size() + 4 + extensionLength || name.compare(0, prefix.size(), prefix) != 0 ||
        name.compare(name.size() - extensionLength, extensionLength, extension) != 0)
        return false;
    return AllUpperHex(name, prefix.size(), name.size() - extensionLength);
}

bool JournalIsConfined(const JournalContents& contents)
{
    if (contents.runPrefix.size() < 2)
        return false;
    for (const std::wstring& folder : contents.folders)
        if (!PassesItemRule(folder, true))
            return false;
    for (const JournalReplacement& replacement : contents.replacements) {
        const std::wstring folder = FolderOf(replacement.target);
        if (!PassesItemRule(replacement.target, false) ||
            std::find(contents.folders.begin(), contents.folders.end(), folder) ==
                contents.folders.end() ||
            !IsRunKeptFile(replacement.copy, folder, contents.runPrefix, L".tmp") ||
            (!replacement.backup.empty() &&
             !IsRunKeptFile(replacement.backup, folder, contents.runPrefix, L".bak")))
            return false;
    }
    return true;
}
