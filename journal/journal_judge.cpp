#include "journal/journal_judge.h"

#include <windows.h>
#include <set>
#include "base/hex_digits.h"
#include "paths/item_rule.h"

namespace {

bool AllUpperHex(const std::wstring& text, size_t from, size_t to)
{
    for (size_t i = from; i < to; ++i)
        if (!IsHexDigit(text[i]))
            return false;
    return to > from;
}

// The item rule judges code page 932 names; a name that does not convert
// exactly was never an item.
bool PassesItemRule(const std::wstring& name, bool emptyAllowed)
{
    if (name.empty())
        return emptyAllowed;
    // Most names are ASCII, which every code page holds as it is.
    std::string ascii;
    for (wchar_t c : name) {
        if (c == 0 || c >= 0x80)
            break;
        ascii += char(c);
    }
    if (ascii.size() == name.size())
        return JudgeItem(ascii.c_str()) == ItemAccepted;
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

size_t FolderLength(const std::wstring& relative)
{
    const size_t slash = relative.rfind(L'\\');
    return slash == std::wstring::npos ? 0 : slash;
}

bool IsRunFileAt(const std::wstring& path, size_t from, const std::wstring& prefix,
                 const wchar_t* extension)
{
    const size_t extensionLength = wcslen(extension);
    if (path.size() < from + prefix.size() + 4 + extensionLength ||
        path.compare(from, prefix.size(), prefix) != 0 ||
        path.compare(path.size() - extensionLength, extensionLength, extension) != 0)
        return false;
    return AllUpperHex(path, from + prefix.size(), path.size() - extensionLength);
}

// <folder>\<prefix><hex><extension> beside the target, or in the run's own
// <folder>\upd<run>.d\<hex>\; folder: the target's first folderLength
// characters, none for the install folder itself.
bool IsRunKeptFile(const std::wstring& path, const std::wstring& target, size_t folderLength,
                   const std::wstring& prefix, const wchar_t* extension)
{
    size_t at = 0;
    if (folderLength != 0) {
        if (path.size() <= folderLength || path.compare(0, folderLength, target, 0, folderLength) != 0 ||
            path[folderLength] != L'\\')
            return false;
        at = folderLength + 1;
    }
    if (path.find(L'\\', at) == std::wstring::npos)
        return IsRunFileAt(path, at, prefix, extension);
    // upd<run>.d: the prefix without its dash.
    const size_t own = prefix.size() - 1;
    if (path.compare(at, own, prefix, 0, own) != 0 || path.compare(at + own, 3, L".d\\") != 0)
        return false;
    const size_t bucket = at + own + 3;
    const size_t slash = path.find(L'\\', bucket);
    return slash != std::wstring::npos && AllUpperHex(path, bucket, slash) &&
           IsRunFileAt(path, slash + 1, prefix, extension);
}

}  // namespace

bool IsRunFileName(const std::wstring& name, const std::wstring& prefix, const wchar_t* extension)
{
    return IsRunFileAt(name, 0, prefix, extension);
}

bool JournalIsConfined(const JournalContents& contents)
{
    if (contents.runPrefix.size() < 2)
        return false;
    std::set<std::wstring> folders;
    for (const std::wstring& folder : contents.folders) {
        if (!PassesItemRule(folder, true))
            return false;
        folders.insert(folder);
    }
    // A folder the run made lies on the way to one it puts files in.
    for (const std::wstring& made : contents.madeFolders) {
        bool onTheWay = false;
        for (const std::wstring& folder : folders)
            onTheWay = onTheWay || (!made.empty() && folder.compare(0, made.size(), made) == 0 &&
                                    (folder.size() == made.size() || folder[made.size()] == L'\\'));
        if (!onTheWay || !PassesItemRule(made, true))
            return false;
    }
    std::wstring lastFolder;
    bool lastListed = false;
    for (const JournalReplacement& replacement : contents.replacements) {
        const std::wstring& target = replacement.target;
        const size_t folderLength = FolderLength(target);
        // Items come folder by folder: one look-up per run of them.
        if (!lastListed || lastFolder.compare(0, std::wstring::npos, target, 0, folderLength) != 0) {
            lastFolder.assign(target, 0, folderLength);
            lastListed = folders.count(lastFolder) != 0;
            if (!lastListed)
                return false;
        }
        if (!PassesItemRule(target, false) ||
            !IsRunKeptFile(replacement.copy, target, folderLength, contents.runPrefix, L".tmp") ||
            (!replacement.backup.empty() &&
             !IsRunKeptFile(replacement.backup, target, folderLength, contents.runPrefix, L".bak")))
            return false;
    }
    return true;
}
