// The Win32 layer of the native fuzz build (see windows.h beside it).

#include <windows.h>

#include <dirent.h>
#include <errno.h>
#include <fnmatch.h>
#include <ftw.h>
#include <sanitizer/asan_interface.h>
#include <strings.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace fuzz_win32 {
int boxAnswer = IDIGNORE;
int boxCount = 0;
}  // namespace fuzz_win32

namespace {

DWORD lastError = 0;
std::string sandboxRoot;  // stands for Z:\ (the drive's root)

bool Lead(unsigned char c)
{
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

bool Fail(DWORD error)
{
    lastError = error;
    return false;
}

bool HasDrive(const char* p)
{
    return ((p[0] | 0x20) >= 'a' && (p[0] | 0x20) <= 'z') && p[1] == ':';
}

// The sandbox path for a Windows path; false (last error set) for other
// drives, ".." components and empty paths.
bool ToPosix(const char* win, std::string& out)
{
    if (win == nullptr || *win == '\0' || sandboxRoot.empty())
        return Fail(ERROR_PATH_NOT_FOUND);
    const char* p = win;
    if (HasDrive(p) && (*p | 0x20) != 'z')
        return Fail(ERROR_PATH_NOT_FOUND);
    if (HasDrive(p))
        p += 2;  // "Z:name" is relative to the current directory
    out = (*p == '\\' || *p == '/') ? sandboxRoot : "";
    for (; *p != '\0'; p = CharNextA(p)) {
        if (*p == '\\')
            out += '/';
        else
            out.append(p, size_t(CharNextA(p) - p));
    }
    if (out.empty())
        out = ".";
    if (("/" + out + "/").find("/../") != std::string::npos)
        return Fail(ERROR_PATH_NOT_FOUND);
    return true;
}

DWORD ErrorOf(int error)
{
    return error == ENOENT ? ERROR_FILE_NOT_FOUND
           : error == ENOTDIR ? ERROR_PATH_NOT_FOUND : ERROR_ACCESS_DENIED;
}

struct Find {
    std::vector<WIN32_FIND_DATAA> matches;
    size_t next = 0;
};

std::map<const void*, std::pair<char*, size_t>> mappings;  // block -> mmap

int RemoveOne(const char* path, const struct stat*, int, struct FTW*)
{
    return remove(path);
}

void RemoveTree(const std::string& path)
{
    nftw(path.c_str(), RemoveOne, 16, FTW_DEPTH | FTW_PHYS);
}

[[noreturn]] void Die(const char* what, const std::string& detail)
{
    fprintf(stderr, "win32 layer: %s %s\n", what, detail.c_str());
    abort();
}

}  // namespace

extern "C" FILE* __real_fopen(const char* path, const char* mode);

// Product paths come with backslashes and drive letters; everything else
// (the fuzzer's own files) passes unchanged. Windows cannot open a directory
// as a stream.
extern "C" FILE* __wrap_fopen(const char* path, const char* mode)
{
    std::string posix = path ? path : "";
    if (path && (HasDrive(path) || strchr(path, '\\')) && !ToPosix(path, posix))
        return errno = ENOENT, nullptr;
    struct stat info;
    if (stat(posix.c_str(), &info) == 0 && S_ISDIR(info.st_mode))
        return errno = EACCES, lastError = ERROR_ACCESS_DENIED, nullptr;
    FILE* stream = __real_fopen(posix.c_str(), mode);
    if (stream == nullptr)
        lastError = ErrorOf(errno);
    return stream;
}

DWORD GetLastError() { return lastError; }
void SetLastError(DWORD error) { lastError = error; }

DWORD GetFileAttributesA(const char* path)
{
    std::string posix;
    struct stat info;
    if (!ToPosix(path, posix))
        return INVALID_FILE_ATTRIBUTES;
    if (stat(posix.c_str(), &info) != 0 || !(S_ISDIR(info.st_mode) || S_ISREG(info.st_mode)))
        return Fail(ErrorOf(errno)), INVALID_FILE_ATTRIBUTES;
    return S_ISDIR(info.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
}

BOOL CreateDirectoryA(const char* path, void*)
{
    std::string posix;
    return ToPosix(path, posix) && (mkdir(posix.c_str(), 0755) == 0 || Fail(ErrorOf(errno)));
}

HANDLE FindFirstFileA(const char* pattern, WIN32_FIND_DATAA* found)
{
    // The directory part ends at the last separator (never a trail byte);
    // "\" and "Z:\" keep theirs.
    const char* name = pattern;
    for (const char* p = pattern; *p != '\0'; p = CharNextA(p))
        if (*p == '\\' || *p == '/')
            name = p + 1;
    std::string directory(pattern, size_t(name - pattern));
    if (directory.size() > (HasDrive(pattern) ? 3u : 1u))
        directory.pop_back();
    std::string posix;
    dirent** entries = nullptr;
    const int n = *name && ToPosix(directory.empty() ? "." : directory.c_str(), posix)
                      ? scandir(posix.c_str(), &entries, nullptr, alphasort) : -1;
    Find* find = new Find;
    for (int i = 0; i < n; ++i) {
        struct stat info;
        WIN32_FIND_DATAA data = {};
        const char* entry = entries[i]->d_name;
        // Windows' wildcards know no brackets: such a pattern matches nothing.
        if (strlen(entry) < MAX_PATH && !strchr(name, '[') &&
            fnmatch(name, entry, FNM_CASEFOLD | FNM_NOESCAPE) == 0 &&
            stat((posix + "/" + entry).c_str(), &info) == 0) {
            data.dwFileAttributes = S_ISDIR(info.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
            strcpy(data.cFileName, entry);
            find->matches.push_back(data);
        }
        free(entries[i]);
    }
    free(entries);
    if (!FindNextFileA(find, found)) {
        delete find;
        return Fail(ERROR_FILE_NOT_FOUND), INVALID_HANDLE_VALUE;
    }
    return find;
}

BOOL FindNextFileA(HANDLE handle, WIN32_FIND_DATAA* found)
{
    Find* find = static_cast<Find*>(handle);
    if (find->next >= find->matches.size())
        return Fail(ERROR_NO_MORE_FILES);
    *found = find->matches[find->next++];
    return TRUE;
}

BOOL CloseHandle(HANDLE)
{
    return TRUE;
}

BOOL FreeLibrary(HMODULE)
{
    return TRUE;
}

BOOL FindClose(HANDLE handle)
{
    delete static_cast<Find*>(handle);
    return TRUE;
}

DWORD GetCurrentDirectoryA(DWORD size, char* buffer)
{
    char here[4096];
    if (!getcwd(here, sizeof here) || strncmp(here, sandboxRoot.c_str(), sandboxRoot.size()) != 0)
        return Fail(ERROR_PATH_NOT_FOUND);
    std::string win = "Z:" + std::string(here + sandboxRoot.size());
    for (char& c : win)
        c = c == '/' ? '\\' : c;
    if (win.size() == 2)
        win += '\\';
    if (win.size() >= size)
        return DWORD(win.size() + 1);
    memcpy(buffer, win.c_str(), win.size() + 1);
    return DWORD(win.size());
}

BOOL GetVolumeInformationA(const char* root, char*, DWORD, DWORD*, DWORD* maxComponent,
                           DWORD* flags, char*, DWORD)
{
    if (root == nullptr || strcasecmp(root, "Z:\\") != 0)
        return Fail(ERROR_PATH_NOT_FOUND);
    *maxComponent = 255;
    *flags = 0;
    return TRUE;
}

void* VirtualAlloc(void* address, size_t size, DWORD, DWORD)
{
    if (size > (size_t(256) << 20))
        Die("VirtualAlloc out of proportion:", std::to_string(size) + " bytes");
    if (address != nullptr || size == 0)
        return Fail(ERROR_INVALID_PARAMETER), nullptr;
    const size_t page = size_t(sysconf(_SC_PAGESIZE));
    const size_t pages = (size + page - 1) / page * page;
    char* start = static_cast<char*>(mmap(nullptr, pages + page, PROT_READ | PROT_WRITE,
                                          MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0));
    if (start == MAP_FAILED)
        return Fail(ERROR_NOT_ENOUGH_MEMORY), nullptr;
    // The block ends where the guard page begins, so the first byte past it
    // faults; the slack in front of it is poisoned for ASan.
    mprotect(start + pages, page, PROT_NONE);
    char* block = start + pages - size;
    ASAN_POISON_MEMORY_REGION(start, size_t(block - start));
    mappings[block] = {start, pages + page};
    return block;
}

BOOL VirtualFree(void* address, size_t, DWORD)
{
    const auto it = mappings.find(address);
    if (it == mappings.end())
        return Fail(ERROR_INVALID_PARAMETER);
    ASAN_UNPOISON_MEMORY_REGION(it->second.first, it->second.second);
    munmap(it->second.first, it->second.second);
    mappings.erase(it);
    return TRUE;
}

UINT GetACP() { return 932; }

BOOL GetCPInfo(UINT, CPINFO* info)
{
    *info = CPINFO{2, {0x81, 0x81}, {0x81, 0x9F, 0xE0, 0xFC, 0, 0}};
    return TRUE;
}

char* CharNextA(const char* p)
{
    return const_cast<char*>(*p == '\0' ? p : p + (Lead(static_cast<unsigned char>(*p)) && p[1] ? 2 : 1));
}

char* CharPrevA(const char* start, const char* p)
{
    for (const char* next; *start != '\0' && start < p && (next = CharNextA(start)) < p;)
        start = next;
    return const_cast<char*>(start);
}

// Code page 932 has no single-byte letters but A-Z; the wide conversions
// are asked only for other code pages, which this layer does not serve.
BOOL IsCharUpperA(char c) { return c >= 'A' && c <= 'Z'; }
DWORD CharLowerBuffA(char* text, DWORD length)
{
    for (DWORD i = 0; i < length; ++i)
        text[i] = IsCharUpperA(text[i]) ? char(text[i] - 'A' + 'a') : text[i];
    return length;
}
DWORD CharUpperBuffW(WCHAR*, DWORD length) { return length; }
int MultiByteToWideChar(UINT, DWORD, const char*, int, WCHAR*, int) { return Fail(ERROR_INVALID_PARAMETER); }
int WideCharToMultiByte(UINT, DWORD, const WCHAR*, int, char*, int, const char*, BOOL*) { return Fail(ERROR_INVALID_PARAMETER); }

int lstrlenA(const char* text) { return text ? int(strlen(text)) : 0; }
int lstrcmpiA(const char* a, const char* b) { return strcasecmp(a ? a : "", b ? b : ""); }

int MessageBoxA(HWND, const char*, const char*, UINT)
{
    return fuzz_win32::boxCount++ == 0 ? fuzz_win32::boxAnswer : IDIGNORE;
}

// msvcrt's rule: count bytes at most; when the output fills them exactly no
// NUL is written, when it does not fit -1 is returned.
int _vsnprintf(char* buffer, size_t count, const char* format, va_list args)
{
    va_list copy;
    va_copy(copy, args);
    const int n = vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (n < 0 || size_t(n) < count)
        return n < 0 ? -1 : vsnprintf(buffer, count, format, args);
    std::vector<char> whole(size_t(n) + 1);
    vsnprintf(whole.data(), whole.size(), format, args);
    memcpy(buffer, whole.data(), count);
    return size_t(n) == count ? n : -1;
}

int _vscprintf(const char* format, va_list args) { return vsnprintf(nullptr, 0, format, args); }

int _scprintf(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    const int n = _vscprintf(format, args);
    va_end(args);
    return n;
}

int _fseeki64(FILE* stream, int64_t offset, int origin) { return fseeko(stream, offset, origin); }
int64_t _ftelli64(FILE* stream) { return ftello(stream); }

namespace fuzz_win32 {

void ResetSandbox()
{
    if (sandboxRoot.empty()) {
        const char* tmp = getenv("TMPDIR");
        sandboxRoot = std::string(tmp && *tmp ? tmp : "/tmp") + "/win32-sandbox-" + std::to_string(getpid());
        RemoveTree(sandboxRoot);  // left by an earlier process of this number
        if (mkdir(sandboxRoot.c_str(), 0700) != 0)
            Die("cannot make", sandboxRoot);
        atexit([] { RemoveTree(sandboxRoot); });
    }
    const std::string work = sandboxRoot + "/update";
    RemoveTree(work);
    if (mkdir(work.c_str(), 0700) != 0 || chdir(work.c_str()) != 0)
        Die("cannot enter", work);
    boxAnswer = IDIGNORE;
    boxCount = 0;
    lastError = 0;
}

void PutFile(const char* name, const void* bytes, size_t size)
{
    FILE* out = __real_fopen(name, "wb");
    if (out == nullptr || fwrite(bytes, 1, size, out) != size || fclose(out) != 0)
        Die("cannot write", name);
}

}  // namespace fuzz_win32
