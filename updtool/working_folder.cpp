#include "updtool/working_folder.h"

#include <windows.h>
#include "paths/paths.h"

namespace {

std::string CurrentFolder()
{
    const DWORD size = GetCurrentDirectoryA(0, nullptr);
    if (size == 0)
        return std::string();
    std::string folder(size, '\0');
    const DWORD length = GetCurrentDirectoryA(size, &folder[0]);
    folder.resize(length < size ? length : 0);
    return folder;
}

}  // namespace

WorkingFolder::WorkingFolder() {}

WorkingFolder::~WorkingFolder()
{
    if (!previous_.empty())
        SetCurrentDirectoryA(previous_.c_str());
}

bool WorkingFolder::Enter(const std::string& folder)
{
    const std::string before = CurrentFolder();
    if (!folder.empty() && !SetCurrentDirectoryA(folder.c_str()))
        return false;
    if (previous_.empty())
        previous_ = before;
    return true;
}

std::string WorkingFolder::Path() const
{
    return CurrentFolder();
}

std::string FullPath(const std::string& path)
{
    if (path.empty() || IsAbsolutePath(path.c_str()))
        return path;
    const DWORD size = GetFullPathNameA(path.c_str(), 0, nullptr, nullptr);
    if (size == 0)
        return path;
    std::string full(size, '\0');
    const DWORD length = GetFullPathNameA(path.c_str(), size, &full[0], nullptr);
    if (length == 0 || length >= size)
        return path;
    full.resize(length);
    return full;
}
