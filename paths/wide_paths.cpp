#include "paths/wide_paths.h"

#include <windows.h>
#include <vector>

std::wstring CurrentFolder()
{
    const DWORD size = GetCurrentDirectoryW(0, nullptr);
    if (size == 0)
        return std::wstring();
    std::wstring folder(size, L'\0');
    const DWORD length = GetCurrentDirectoryW(size, &folder[0]);
    folder.resize(length < size ? length : 0);
    return folder;
}

bool EndsWithSeparator(const std::wstring& path)
{
    return !path.empty() && path.back() == L'\\';
}

std::wstring FolderOf(const std::wstring& path)
{
    const size_t slash = path.rfind(L'\\');
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

std::wstring LeafOf(const std::wstring& path)
{
    const size_t end = path.find_last_of(L"\\:");
    return end == std::wstring::npos ? path : path.substr(end + 1);
}

std::wstring ContainingFolder(const std::wstring& path)
{
    const size_t slash = path.rfind(L'\\');
    if (slash != std::wstring::npos) {
        size_t length = slash;
        if (length == 0 || (length == 2 && path[1] == L':'))
            ++length;
        return path.substr(0, length);
    }
    if (path.size() >= 2 && path[1] == L':')
        return path.substr(0, 2);
    return L".";
}

std::wstring FullPathOf(const std::wstring& path)
{
    std::vector<wchar_t> full(32768);
    const DWORD length =
        path.empty() ? 0 : GetFullPathNameW(path.c_str(), DWORD(full.size()), full.data(), nullptr);
    if (length == 0 || length >= full.size())
        return std::wstring();
    return std::wstring(full.data(), length);
}

std::wstring LongPathForm(const std::wstring& path, size_t room)
{
    if (path.size() + room < MAX_PATH)
        return path;
    const std::wstring text = FullPathOf(path);
    if (text.empty())
        return text;
    if (text.compare(0, 2, L"\\\\") == 0) {
        if (text.size() > 2 && (text[2] == L'?' || text[2] == L'.'))
            return text;  // already in a device form
        return L"\\\\?\\UNC\\" + text.substr(2);
    }
    return L"\\\\?\\" + text;
}

FilePath::FilePath() {}

FilePath::~FilePath() {}

void FilePath::SetPath(const std::wstring& text)
{
    path = text;
}

void FilePath::DirectoryPart(std::wstring& result) const
{
    const size_t last = path.rfind(L'\\');
    result = EndsWithSeparator(path) || last == std::wstring::npos ? path : path.substr(0, last);
}

void CreateDirectories(const std::wstring& path)
{
    size_t scan = path.find_first_not_of(L'\\');
    if (scan == std::wstring::npos)
        return;
    // Leading backslashes stay: \dir is made on the current drive's root and
    // \\server\share\dir on the share, not relative to the current folder.
    std::wstring dir = path.substr(0, scan);
    for (;;) {
        scan = path.find_first_not_of(L'\\', scan);
        if (scan == std::wstring::npos)
            break;
        size_t end = path.find(L'\\', scan);
        if (end == std::wstring::npos)
            end = path.size();
        const std::wstring component = path.substr(scan, end - scan);
        scan = end;
        dir += component;
        // A drive designator (C:, or x: in the middle) is never created.
        if (!(component.size() >= 2 && component[1] == L':'))
            CreateDirectoryW(LongPathForm(dir).c_str(), nullptr);
        dir += L'\\';
    }
}
