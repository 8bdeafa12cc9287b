#include "tests/support/scratch_dir.h"

#include "base/text_932.h"

#include <gtest/gtest.h>
#include <algorithm>
#include <vector>

// Paths here are code page 932, as the product's names, and reach the
// system through the -W calls: the helpers behave the same on every
// system code page.

namespace {

std::string Narrow(const std::wstring& wide)
{
    String shown;
    ShownIn932(wide, shown);
    return TextOf(shown);
}

}  // namespace

std::wstring Wide(const std::string& path)
{
    return WideFrom932(path.c_str(), int32_t(path.size()));
}

ScratchDir::ScratchDir()
{
    static unsigned counter = 0;
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    std::string base = Narrow(temp);
    if (!base.empty() && base.back() == '\\')
        base.pop_back();
    for (;;) {
        path_ = base + "\\ut" + std::to_string(GetCurrentProcessId()) + "_" +
                std::to_string(++counter) + "_" + std::to_string(GetTickCount());
        if (CreateDirectoryW(Wide(path_).c_str(), nullptr))
            break;
        if (GetLastError() != ERROR_ALREADY_EXISTS) {
            ADD_FAILURE() << "cannot create scratch folder " << path_;
            break;
        }
    }
}

ScratchDir::~ScratchDir() { RemoveTree(path_); }

std::string ScratchDir::Path(const std::string& relative) const { return path_ + "\\" + relative; }

namespace {

// Names in a folder, without . and ..
std::vector<std::wstring> Names(const std::wstring& dir)
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW((dir + L"\\*").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName;
            if (name != L"." && name != L"..")
                names.push_back(name);
        } while (FindNextFileW(find, &found));
        FindClose(find);
    }
    return names;
}

void RemoveWideTree(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return;
    SetFileAttributesW(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        DeleteFileW(path.c_str());
        return;
    }
    for (const std::wstring& name : Names(path))
        RemoveWideTree(path + L"\\" + name);
    RemoveDirectoryW(path.c_str());
}

}  // namespace

void RemoveTree(const std::string& path)
{
    RemoveWideTree(Wide(path));
}

std::string ListFolder(const std::string& dir)
{
    std::vector<std::string> names;
    for (const std::wstring& name : Names(Wide(dir)))
        names.push_back(Narrow(name));
    std::sort(names.begin(), names.end());
    std::string list;
    for (const auto& name : names)
        list += (list.empty() ? "" : " ") + name;
    return list;
}

CurrentDirectory::CurrentDirectory(const std::string& dir)
{
    wchar_t buffer[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, buffer);
    previous_ = buffer;
    if (!SetCurrentDirectoryW(Wide(dir).c_str()))
        ADD_FAILURE() << "cannot enter " << dir;
}

CurrentDirectory::~CurrentDirectory() { SetCurrentDirectoryW(previous_.c_str()); }

void WriteFileBytes(const std::string& path, const std::string& bytes)
{
    const std::wstring wide = Wide(path);
    for (size_t slash = wide.find(L'\\', 3); slash != std::wstring::npos;
         slash = wide.find(L'\\', slash + 1))
        CreateDirectoryW(wide.substr(0, slash).c_str(), nullptr);
    HANDLE file = CreateFileW(wide.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << "cannot write " << path;
    DWORD written = 0;
    const BOOL ok = WriteFile(file, bytes.data(), DWORD(bytes.size()), &written, nullptr);
    CloseHandle(file);
    ASSERT_TRUE(ok && written == bytes.size()) << "short write to " << path;
}

std::string ReadFileBytes(const std::string& path)
{
    HANDLE file = CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return "<missing>";
    std::string bytes(GetFileSize(file, nullptr), '\0');
    DWORD got = 0;
    ReadFile(file, &bytes[0], DWORD(bytes.size()), &got, nullptr);
    CloseHandle(file);
    bytes.resize(got);
    return bytes;
}

bool FileExists(const std::string& path)
{
    return GetFileAttributesW(Wide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string ProgramFilesDir()
{
    HKEY key = nullptr;
    wchar_t value[512] = {};
    DWORD size = sizeof value - sizeof(wchar_t);
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion", 0,
                      KEY_READ, &key) == ERROR_SUCCESS) {
        RegQueryValueExW(key, L"ProgramFilesDir", nullptr, nullptr,
                         reinterpret_cast<BYTE*>(value), &size);
        RegCloseKey(key);
    }
    return Narrow(value);
}

std::string UpdateLeftovers(const std::string& folder)
{
    std::string found;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(Wide(folder + "\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return found;
    do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..")
            continue;
        const std::string narrow(name.begin(), name.end());
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (narrow.compare(0, 3, "upd") == 0 && narrow.size() > 2 &&
                narrow.compare(narrow.size() - 2, 2, ".d") == 0)
                found += narrow + "\\ ";
            found += UpdateLeftovers(folder + "\\" + narrow);
            continue;
        }
        const size_t dot = narrow.rfind('.');
        const std::string extension = dot == std::string::npos ? "" : narrow.substr(dot);
        if (narrow.compare(0, 3, "upd") == 0 &&
            (extension == ".tmp" || extension == ".bak" || extension == ".jnl"))
            found += narrow + " ";
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return found;
}

bool WriteSparseFile(const std::string& path, int64_t size)
{
    const HANDLE file = CreateFileW(Wide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    LARGE_INTEGER to;
    to.QuadPart = size;
    const bool sized = SetFilePointerEx(file, to, nullptr, FILE_BEGIN) && SetEndOfFile(file);
    CloseHandle(file);
    return sized;
}
