#include "tests/support/folder_link.h"

#include <windows.h>
#include "tests/support/scratch_dir.h"
#include "tests/support/wait.h"

namespace {

// Wine's own export: the Unix path of a Windows path (freed with
// HeapFree); null on Windows.
std::string UnixPath(const std::string& path)
{
    typedef char*(CDECL * UnixName)(const wchar_t*);
    const UnixName unixName = reinterpret_cast<UnixName>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (unixName == nullptr)
        return std::string();
    char* name = unixName(Wide(path).c_str());
    if (name == nullptr)
        return std::string();
    const std::string result = name;
    HeapFree(GetProcessHeap(), 0, name);
    return result;
}

}  // namespace

namespace {

// Starts /bin/<program> with arguments on the Unix side.
bool StartUnix(const std::string& program, const std::string& arguments)
{
    // Wine starts a Unix program as a process of its own that cannot be
    // waited for: what it makes is there when it shows.
    std::string command = "/bin/" + program + " " + arguments;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(("Z:\\bin\\" + program).c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &process))
        return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

// Starts ln -s target from on the Unix side.
bool StartLn(const std::string& target, const std::string& from)
{
    return StartUnix("ln", "-s \"" + target + "\" \"" + from + "\"");
}

bool MakeLink(const std::string& link, const std::string& to, bool folder)
{
    const std::string from = UnixPath(link), target = UnixPath(to);
    if (from.empty() || target.empty())
        return CreateSymbolicLinkW(Wide(link).c_str(), Wide(to).c_str(),
                                   folder ? SYMBOLIC_LINK_FLAG_DIRECTORY : 0) != 0;
    if (!StartLn(target, from))
        return false;
    DWORD attributes = INVALID_FILE_ATTRIBUTES;
    if (!WaitUntil([&] {
            attributes = GetFileAttributesW(Wide(link).c_str());
            return attributes != INVALID_FILE_ATTRIBUTES;
        }))
        return false;
    // Wine reports a link to a folder as a reparse point, one to a file as
    // the file.
    return !folder || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

}  // namespace

bool MakeFolderLink(const std::string& link, const std::string& to)
{
    return MakeLink(link, to, true);
}

bool MakeFileLink(const std::string& link, const std::string& to)
{
    return MakeLink(link, to, false);
}

bool StartCaseCopy(const std::string& folder, const std::string& name, const std::string& from)
{
    const std::string to = UnixPath(folder), source = UnixPath(from);
    return !to.empty() && !source.empty() && StartUnix("cp", "\"" + source + "\" \"" + to + "/" + name + "\"");
}
