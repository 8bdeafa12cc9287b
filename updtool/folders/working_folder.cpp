#include "updtool/folders/working_folder.h"

#include <windows.h>
#include "paths/wide_paths.h"

WorkingFolder::~WorkingFolder()
{
    if (!previous_.empty())
        SetCurrentDirectoryW(previous_.c_str());
}

bool WorkingFolder::Enter(const std::wstring& folder)
{
    // Noted before entering: after a failed entry, giving it back changes nothing.
    if (previous_.empty())
        previous_ = CurrentFolder();
    return folder.empty() || SetCurrentDirectoryW(folder.c_str());
}

bool IsFolder(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring FullPath(const std::wstring& path)
{
    std::wstring full = FullPathOf(path);
    // "C:\" keeps its backslash, "C:\x\" loses it.
    if (full.size() > 3 && full.back() == L'\\')
        full.pop_back();
    return full;
}
