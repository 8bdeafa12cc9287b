// The Win32 layer of the native fuzz build (see windows.h beside it).

#include <windows.h>

#include <dirent.h>
#include <errno.h>
#include <ftw.h>
#include <sanitizer/asan_interface.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>
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

thread_local DWORD lastError = 0;
std::string sandboxRoot;  // stands for Z:\ (the drive's root)

bool Lead(unsigned char c)
{
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

char FoldAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
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
    if (win == nullptr || *win == '\0')
        return Fail(ERROR_PATH_NOT_FOUND);
    const char* p = win;
    out.clear();
    if (HasDrive(p)) {
        if ((p[0] | 0x20) != 'z')
            return Fail(ERROR_PATH_NOT_FOUND);
        p += 2;  // "Z:name" is relative to the current directory, on Z:
    }
    if (*p == '\\' || *p == '/')
        out = sandboxRoot;
    for (; *p != '\0'; p = CharNextA(p)) {
        const size_t n = size_t(CharNextA(p) - p);
        if (n == 1 && *p == '\\')
            out += '/';
        else
            out.append(p, n);
    }
    if (out.empty())
        out = ".";
    for (size_t at = 0; at <= out.size();) {
        size_t end = out.find('/', at);
        if (end == std::string::npos)
            end = out.size();
        if (out.compare(at, end - at, "..") == 0)
            return Fail(ERROR_PATH_NOT_FOUND);
        at = end + 1;
    }
    return true;
}

DWORD ErrorOf(int error)
{
    switch (error) {
    case ENOENT: return ERROR_FILE_NOT_FOUND;
    case ENOTDIR: return ERROR_PATH_NOT_FOUND;
    case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    default: return ERROR_ACCESS_DENIED;
    }
}

// Windows' wildcard rule: '*' any run, '?' one byte, case folded.
bool Matches(const char* pattern, const char* name)
{
    const char* star = nullptr;
    const char* resume = nullptr;
    while (*name != '\0') {
        if (*pattern == '*') {
            star = pattern++;
            resume = name;
        } else if (*pattern != '\0' && (*pattern == '?' || FoldAscii(*pattern) == FoldAscii(*name))) {
            ++pattern;
            ++name;
        } else if (star != nullptr) {
            pattern = star + 1;
            name = ++resume;
        } else {
            return false;
        }
    }
    while (*pattern == '*')
        ++pattern;
    return *pattern == '\0';
}

struct Find {
    std::vector<WIN32_FIND_DATAA> matches;
    size_t next = 0;
};

struct Mapping {
    char* base;
    size_t length;
};
std::map<const void*, Mapping> mappings;  // by the address handed out

int RemoveOne(const char* path, const struct stat*, int, struct FTW*)
{
    return remove(path);
}

void RemoveTree(const std::string& path)
{
    nftw(path.c_str(), RemoveOne, 16, FTW_DEPTH | FTW_PHYS);
}

void RemoveSandbox()
{
    if (!sandboxRoot.empty())
        RemoveTree(sandboxRoot);
}

[[noreturn]] void Die(const char* what, const std::string& path)
{
    fprintf(stderr, "win32 layer: %s %s: %s\n", what, path.c_str(), strerror(errno));
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
    if (path != nullptr && (HasDrive(path) || strchr(path, '\\') != nullptr) &&
        !ToPosix(path, posix)) {
        errno = ENOENT;
        return nullptr;
    }
    struct stat info;
    if (stat(posix.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
        errno = EACCES;
        lastError = ERROR_ACCESS_DENIED;
        return nullptr;
    }
    FILE* stream = __real_fopen(posix.c_str(), mode);
    if (stream == nullptr)
        lastError = ErrorOf(errno);
    return stream;
}

DWORD GetLastError()
{
    return lastError;
}

void SetLastError(DWORD error)
{
    lastError = error;
}

DWORD GetFileAttributesA(const char* path)
{
    std::string posix;
    if (!ToPosix(path, posix))
        return INVALID_FILE_ATTRIBUTES;
    struct stat info;
    if (stat(posix.c_str(), &info) != 0) {
        lastError = ErrorOf(errno);
        return INVALID_FILE_ATTRIBUTES;
    }
    if (S_ISDIR(info.st_mode))
        return FILE_ATTRIBUTE_DIRECTORY;
    if (S_ISREG(info.st_mode))
        return FILE_ATTRIBUTE_ARCHIVE;
    lastError = ERROR_FILE_NOT_FOUND;
    return INVALID_FILE_ATTRIBUTES;
}

BOOL CreateDirectoryA(const char* path, void*)
{
    std::string posix;
    if (!ToPosix(path, posix))
        return FALSE;
    if (mkdir(posix.c_str(), 0755) != 0)
        return Fail(ErrorOf(errno));
    return TRUE;
}

HANDLE FindFirstFileA(const char* pattern, WIN32_FIND_DATAA* found)
{
    // The directory part ends at the last separator (never a trail byte).
    const char* name = pattern ? pattern : "";
    for (const char* p = name; *p != '\0'; p = CharNextA(p))
        if (*p == '\\' || *p == '/')
            name = p + 1;
    std::string directory(pattern ? pattern : "", size_t(name - (pattern ? pattern : "")));
    if (directory.empty())
        directory = ".";
    else if (directory.size() > 1 && !(directory.size() == 3 && HasDrive(directory.c_str())))
        directory.pop_back();  // "dir\" -> "dir", but "\" and "Z:\" stay
    std::string posix;
    if (*name == '\0' || !ToPosix(directory.c_str(), posix)) {
        lastError = ERROR_FILE_NOT_FOUND;
        return INVALID_HANDLE_VALUE;
    }
    DIR* dir = opendir(posix.c_str());
    if (dir == nullptr) {
        lastError = ERROR_PATH_NOT_FOUND;
        return INVALID_HANDLE_VALUE;
    }
    Find* find = new Find;
    while (const dirent* entry = readdir(dir)) {
        if (strlen(entry->d_name) >= MAX_PATH || !Matches(name, entry->d_name))
            continue;
        struct stat info;
        if (stat((posix + "/" + entry->d_name).c_str(), &info) != 0)
            continue;
        WIN32_FIND_DATAA data = {};
        data.dwFileAttributes = S_ISDIR(info.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
        strcpy(data.cFileName, entry->d_name);
        find->matches.push_back(data);
    }
    closedir(dir);
    // A fixed order keeps runs repeatable; the readers sort for themselves.
    std::sort(find->matches.begin(), find->matches.end(),
              [](const WIN32_FIND_DATAA& a, const WIN32_FIND_DATAA& b) {
                  return strcmp(a.cFileName, b.cFileName) < 0;
              });
    if (!FindNextFileA(find, found)) {
        delete find;
        lastError = ERROR_FILE_NOT_FOUND;
        return INVALID_HANDLE_VALUE;
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

BOOL FindClose(HANDLE handle)
{
    delete static_cast<Find*>(handle);
    return TRUE;
}

DWORD GetCurrentDirectoryA(DWORD size, char* buffer)
{
    char here[4096];
    if (getcwd(here, sizeof here) == nullptr ||
        strncmp(here, sandboxRoot.c_str(), sandboxRoot.size()) != 0)
        return Fail(ERROR_PATH_NOT_FOUND);
    std::string win = "Z:" + std::string(here + sandboxRoot.size());
    if (win.size() == 2)
        win += '\\';
    std::replace(win.begin(), win.end(), '/', '\\');
    if (win.size() + 1 > size)
        return DWORD(win.size() + 1);
    memcpy(buffer, win.c_str(), win.size() + 1);
    return DWORD(win.size());
}

BOOL GetVolumeInformationA(const char* root, char*, DWORD, DWORD*, DWORD* maxComponent,
                           DWORD* flags, char*, DWORD)
{
    if (root == nullptr || (root[0] | 0x20) != 'z' || root[1] != ':' || root[2] != '\\' ||
        root[3] != '\0')
        return Fail(ERROR_PATH_NOT_FOUND);
    if (maxComponent)
        *maxComponent = 255;
    if (flags)
        *flags = 0;
    return TRUE;
}

void* VirtualAlloc(void* address, size_t size, DWORD, DWORD)
{
    if (address != nullptr || size == 0) {
        lastError = ERROR_INVALID_PARAMETER;
        return nullptr;
    }
    if (size > (size_t(256) << 20)) {
        fprintf(stderr, "win32 layer: VirtualAlloc of %zu bytes, out of proportion\n", size);
        abort();
    }
    const size_t page = size_t(sysconf(_SC_PAGESIZE));
    const size_t pages = (size + page - 1) / page * page;
    void* base = mmap(nullptr, pages + page, PROT_READ | PROT_WRITE,
                      MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (base == MAP_FAILED) {
        lastError = ERROR_NOT_ENOUGH_MEMORY;
        return nullptr;
    }
    char* start = static_cast<char*>(base);
    mprotect(start + pages, page, PROT_NONE);
    // The block ends where the guard page begins, so the first byte past it
    // faults; the slack in front of it is poisoned for ASan.
    char* block = start + pages - size;
    ASAN_POISON_MEMORY_REGION(start, size_t(block - start));
    mappings[block] = Mapping{start, pages + page};
    return block;
}

BOOL VirtualFree(void* address, size_t, DWORD)
{
    const auto it = mappings.find(address);
    if (it == mappings.end())
        return Fail(ERROR_INVALID_PARAMETER);
    ASAN_UNPOISON_MEMORY_REGION(it->second.base, it->second.length);
    munmap(it->second.base, it->second.length);
    mappings.erase(it);
    return TRUE;
}

UINT GetACP()
{
    return 932;
}

BOOL GetCPInfo(UINT, CPINFO* info)
{
    *info = CPINFO{2, {0x81, 0x81}, {0x81, 0x9F, 0xE0, 0xFC, 0, 0}};
    return TRUE;
}

BOOL IsDBCSLeadByte(unsigned char c)
{
    return Lead(c);
}

char* CharNextA(const char* p)
{
    if (*p == '\0')
        return const_cast<char*>(p);
    if (Lead(static_cast<unsigned char>(*p)) && p[1] != '\0')
        return const_cast<char*>(p + 2);
    return const_cast<char*>(p + 1);
}

char* CharPrevA(const char* start, const char* p)
{
    while (*start != '\0' && start < p) {
        const char* next = CharNextA(start);
        if (next >= p)
            break;
        start = next;
    }
    return const_cast<char*>(start);
}

BOOL IsCharUpperA(char c)
{
    return c >= 'A' && c <= 'Z';
}

DWORD CharLowerBuffA(char* text, DWORD length)
{
    for (DWORD i = 0; i < length; ++i)
        text[i] = FoldAscii(text[i]);
    return length;
}

// Code page 932 has its own case table in the product; the conversions are
// asked only for other code pages, which this layer does not serve.
DWORD CharUpperBuffW(WCHAR*, DWORD length)
{
    return length;
}

int MultiByteToWideChar(UINT, DWORD, const char*, int, WCHAR*, int)
{
    lastError = ERROR_INVALID_PARAMETER;
    return 0;
}

int WideCharToMultiByte(UINT, DWORD, const WCHAR*, int, char*, int, const char*, BOOL*)
{
    lastError = ERROR_INVALID_PARAMETER;
    return 0;
}

int lstrlenA(const char* text)
{
    return text ? int(strlen(text)) : 0;
}

int lstrcmpiA(const char* a, const char* b)
{
    if (a == nullptr || b == nullptr)
        return a == b ? 0 : a == nullptr ? -1 : 1;
    for (;; ++a, ++b) {
        const unsigned char ca = static_cast<unsigned char>(FoldAscii(*a));
        const unsigned char cb = static_cast<unsigned char>(FoldAscii(*b));
        if (ca != cb)
            return ca < cb ? -1 : 1;
        if (ca == 0)
            return 0;
    }
}

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
    if (n < 0)
        return -1;
    if (size_t(n) < count)
        return vsnprintf(buffer, count, format, args);
    std::vector<char> whole(size_t(n) + 1);
    vsnprintf(whole.data(), whole.size(), format, args);
    memcpy(buffer, whole.data(), count);
    return size_t(n) == count ? n : -1;
}

int _vscprintf(const char* format, va_list args)
{
    return vsnprintf(nullptr, 0, format, args);
}

int _scprintf(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    const int n = _vscprintf(format, args);
    va_end(args);
    return n;
}

int _fseeki64(FILE* stream, int64_t offset, int origin)
{
    return fseeko(stream, off_t(offset), origin);
}

int64_t _ftelli64(FILE* stream)
{
    return int64_t(ftello(stream));
}

namespace fuzz_win32 {

void ResetSandbox()
{
    if (sandboxRoot.empty()) {
        const char* tmp = getenv("TMPDIR");
        sandboxRoot = std::string(tmp && *tmp ? tmp : "/tmp") + "/win32-sandbox-" +
                      std::to_string(getpid());
        RemoveTree(sandboxRoot);  // left by an earlier process of this number
        if (mkdir(sandboxRoot.c_str(), 0700) != 0)
            Die("cannot make", sandboxRoot);
        atexit(RemoveSandbox);
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
