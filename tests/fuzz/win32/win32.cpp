// The Win32 layer of the native fuzz build (see windows.h beside it).

#include <windows.h>

#include <dirent.h>
#include <errno.h>
#include <ftw.h>
#include <sanitizer/asan_interface.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <map>
#include <string>
#include <vector>

namespace fuzz_win32 {
int boxAnswer = IDIGNORE;
int boxCount = 0;
std::wstring boxText;
std::wstring boxCaption;
UINT boxStyle = 0;
DWORD boxError = 0;
}  // namespace fuzz_win32

namespace {

DWORD lastError = 0;
std::string sandboxRoot;  // stands for Z:\ (the drive's root)

const WCHAR kStandIn = 0x30FB;      // what 932 makes of an invalid character
const WCHAR kMapped = 0xF0000;      // base of the stand-in mapping
const UINT kCodePage = 932;
const LCID kJapanese = MAKELCID(MAKELANGID(LANG_JAPANESE, SUBLANG_JAPANESE_JAPAN), SORT_DEFAULT);

bool Lead(unsigned c)
{
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

bool Trail(unsigned c)
{
    return (c >= 0x40 && c <= 0x7E) || (c >= 0x80 && c <= 0xFC);
}

bool Fail(DWORD error)
{
    lastError = error;
    return false;
}

[[noreturn]] void Die(const char* what, const std::string& detail)
{
    fprintf(stderr, "win32 layer: %s %s\n", what, detail.c_str());
    abort();
}

// One character of 932 text: its WCHAR; `used` the bytes it took.
WCHAR Decode(const unsigned char* p, size_t left, size_t& used)
{
    used = 1;
    if (p[0] < 0x80)
        return p[0];
    if (!Lead(p[0]))
        return kMapped + p[0];
    if (left < 2 || p[1] == 0)
        return kStandIn;
    used = 2;
    return Trail(p[1]) ? kMapped + (WCHAR(p[0]) << 8 | p[1]) : kStandIn;
}

// The 932 bytes of one WCHAR; false when it is outside the mapping.
bool Encode(WCHAR c, std::string& out)
{
    if (c >= 0 && c < 0x80) {
        out += char(c);
        return true;
    }
    if (c < kMapped || c > kMapped + 0xFFFF)
        return false;
    const unsigned code = unsigned(c - kMapped);
    if (code >= 0x80 && code <= 0xFF && !Lead(code)) {
        out += char(code);
        return true;
    }
    if (Lead(code >> 8) && Trail(code & 0xFF)) {
        out += char(code >> 8);
        out += char(code & 0xFF);
        return true;
    }
    return false;
}

std::wstring Wide(const std::string& bytes)
{
    std::wstring wide;
    const unsigned char* p = reinterpret_cast<const unsigned char*>(bytes.data());
    for (size_t i = 0, used; i < bytes.size(); i += used)
        wide += Decode(p + i, bytes.size() - i, used);
    return wide;
}

bool IsSeparator(WCHAR c)
{
    return c == L'\\' || c == L'/';
}

bool HasDrive(const std::wstring& path)
{
    return path.size() >= 2 && ((path[0] | 0x20) >= L'a' && (path[0] | 0x20) <= L'z') &&
           path[1] == L':';
}

// The current directory as Windows names it ("Z:\update"); false when the
// process is not inside the sandbox.
bool CurrentDirectory(std::wstring& out)
{
    char here[4096];
    const size_t n = sandboxRoot.size();
    if (n == 0 || !getcwd(here, sizeof here) || strncmp(here, sandboxRoot.c_str(), n) != 0 ||
        (here[n] != '\0' && here[n] != '/'))
        return Fail(ERROR_PATH_NOT_FOUND);
    out = L"Z:" + Wide(here + n);
    for (WCHAR& c : out)
        c = c == L'/' ? L'\\' : c;
    if (out.size() == 2)
        out += L'\\';
    return true;
}

// GetFullPathNameW's result for path (see windows.h).
bool FullPath(const std::wstring& path, std::wstring& full)
{
    if (path.empty())
        return Fail(ERROR_INVALID_NAME);
    // Device paths (\\?\, \\.\) are taken as they are.
    if (path.size() >= 4 && IsSeparator(path[0]) && IsSeparator(path[1]) &&
        (path[2] == L'?' || path[2] == L'.') && IsSeparator(path[3])) {
        full = path;
        return true;
    }
    std::wstring absolute;
    std::wstring current;
    if (IsSeparator(path[0]) && path.size() > 1 && IsSeparator(path[1])) {
        absolute = path;  // \\server\share\...
    } else if (HasDrive(path) && path.size() > 2 && IsSeparator(path[2])) {
        absolute = path;
    } else if (HasDrive(path)) {
        // Drive-relative: from the current directory of its own drive; other
        // drives have none here, so their root.
        if ((path[0] | 0x20) != L'z')
            absolute = path.substr(0, 2) + L"\\" + path.substr(2);
        else if (CurrentDirectory(current))
            absolute = current + L"\\" + path.substr(2);
        else
            return false;
    } else if (!CurrentDirectory(current)) {
        return false;
    } else if (IsSeparator(path[0])) {
        absolute = current.substr(0, 2) + path;
    } else {
        absolute = current + L"\\" + path;
    }

    // The root stays: "X:\" or "\\server\share\".
    size_t from = 3;
    std::wstring root = absolute.substr(0, 2) + L"\\";
    if (!HasDrive(absolute)) {
        root = L"\\\\";
        from = 2;
        for (int part = 0; part < 2 && from < absolute.size(); ++part) {
            size_t end = from;
            while (end < absolute.size() && !IsSeparator(absolute[end]))
                ++end;
            root += absolute.substr(from, end - from) + L"\\";
            from = end + 1;
        }
    }
    std::vector<std::wstring> parts;
    for (size_t i = from; i < absolute.size();) {
        size_t end = i;
        while (end < absolute.size() && !IsSeparator(absolute[end]))
            ++end;
        const std::wstring part = absolute.substr(i, end - i);
        if (part == L"..") {
            if (!parts.empty())
                parts.pop_back();
        } else if (!part.empty() && part != L".") {
            parts.push_back(part);
        }
        i = end + 1;
    }
    full = root;
    for (size_t i = 0; i < parts.size(); ++i)
        full += (i ? L"\\" : L"") + parts[i];
    if (!parts.empty() && IsSeparator(path.back()))
        full += L'\\';
    if (full.size() > 3 && full.back() == L'\\' && parts.empty())
        full.pop_back();  // a share without a path
    return true;
}

// A \\?\ path is taken as it is: no '/', and no part below "X:\" that is
// empty (but a trailing one), "." or "..".
bool Literal(const std::wstring& path)
{
    if (path.find(L'/') != std::wstring::npos)
        return false;
    for (size_t i = 3; i < path.size();) {
        size_t end = path.find(L'\\', i);
        if (end == std::wstring::npos)
            end = path.size();
        const std::wstring part = path.substr(i, end - i);
        if (part.empty() || part == L"." || part == L"..")
            return false;
        i = end + 1;
    }
    return true;
}

// The sandbox path for a Windows path; false (last error set) for what
// names nothing here (see windows.h).
bool ToPosix(const WCHAR* win, std::string& out)
{
    if (win == nullptr || *win == 0 || sandboxRoot.empty())
        return Fail(ERROR_PATH_NOT_FOUND);
    const std::wstring path(win);
    std::wstring full;
    if (path.compare(0, 4, L"\\\\?\\") == 0) {
        full = path.substr(4);
        if (!Literal(full))
            return Fail(ERROR_INVALID_NAME);
    } else if (!FullPath(path, full)) {
        return false;
    }
    if (full.size() < 3 || (full[0] | 0x20) != L'z' || full[1] != L':' || full[2] != L'\\')
        return Fail(ERROR_PATH_NOT_FOUND);
    out = sandboxRoot;
    for (size_t i = 2; i < full.size(); ++i) {
        const WCHAR c = full[i];
        if (c == L'\\') {
            out += '/';
            continue;
        }
        if ((c >= 0 && c < 0x20) || wcschr(L"<>:\"|?*", c) != nullptr || !Encode(c, out))
            return Fail(ERROR_INVALID_NAME);
    }
    return true;
}

DWORD ErrorOf(int error)
{
    return error == ENOENT ? ERROR_FILE_NOT_FOUND
           : error == ENOTDIR || error == ENAMETOOLONG ? ERROR_PATH_NOT_FOUND
                                                       : ERROR_ACCESS_DENIED;
}

// Windows' wildcards, ASCII case ignored: '*' any run, '?' one character.
WCHAR Fold(WCHAR c)
{
    return c >= L'A' && c <= L'Z' ? c - L'A' + L'a' : c;
}

bool Matches(const WCHAR* pattern, const WCHAR* name)
{
    const WCHAR* star = nullptr;
    const WCHAR* resume = nullptr;
    while (*name) {
        if (*pattern == L'*') {
            star = pattern++;
            resume = name;
        } else if (*pattern == L'?' || (*pattern && Fold(*pattern) == Fold(*name))) {
            ++pattern;
            ++name;
        } else if (star) {
            pattern = star + 1;
            name = ++resume;
        } else {
            return false;
        }
    }
    while (*pattern == L'*')
        ++pattern;
    return *pattern == 0;
}

struct Find {
    std::vector<WIN32_FIND_DATAW> matches;
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

std::string Narrow(const wchar_t* text)
{
    std::string out;
    for (; text && *text; ++text)
        out += *text < 0x80 ? char(*text) : '?';
    return out;
}

}  // namespace

DWORD GetLastError() { return lastError; }
void SetLastError(DWORD error) { lastError = error; }

// Windows cannot open a directory as a stream.
FILE* _wfopen(const wchar_t* path, const wchar_t* mode)
{
    std::string posix;
    if (!ToPosix(path, posix))
        return errno = ENOENT, nullptr;
    struct stat info;
    if (stat(posix.c_str(), &info) == 0 && S_ISDIR(info.st_mode))
        return errno = EACCES, lastError = ERROR_ACCESS_DENIED, nullptr;
    FILE* stream = fopen(posix.c_str(), Narrow(mode).c_str());
    if (stream == nullptr)
        lastError = ErrorOf(errno);
    return stream;
}

DWORD GetFileAttributesW(LPCWSTR path)
{
    std::string posix;
    struct stat info;
    if (!ToPosix(path, posix))
        return INVALID_FILE_ATTRIBUTES;
    if (stat(posix.c_str(), &info) != 0 || !(S_ISDIR(info.st_mode) || S_ISREG(info.st_mode)))
        return Fail(ErrorOf(errno)), INVALID_FILE_ATTRIBUTES;
    return S_ISDIR(info.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
}

BOOL CreateDirectoryW(LPCWSTR path, void*)
{
    std::string posix;
    return ToPosix(path, posix) && (mkdir(posix.c_str(), 0755) == 0 || Fail(ErrorOf(errno)));
}

HANDLE FindFirstFileW(LPCWSTR pattern, WIN32_FIND_DATAW* found)
{
    // The directory part ends at the last separator; "X:name" searches the
    // drive's current directory.
    const std::wstring whole = pattern ? pattern : L"";
    const size_t cut = whole.find_last_of(L"\\/");
    std::wstring directory = cut != std::wstring::npos ? whole.substr(0, cut + 1)
                             : HasDrive(whole)         ? whole.substr(0, 2)
                                                       : L".";
    const std::wstring name = whole.substr(cut != std::wstring::npos ? cut + 1
                                           : HasDrive(whole)         ? 2
                                                                     : 0);
    std::string posix;
    if (name.empty())
        return Fail(ERROR_FILE_NOT_FOUND), INVALID_HANDLE_VALUE;
    if (!ToPosix(directory.c_str(), posix))
        return INVALID_HANDLE_VALUE;
    const bool root = posix == sandboxRoot || posix == sandboxRoot + "/";
    dirent** entries = nullptr;
    const int n = scandir(posix.c_str(), &entries, nullptr, alphasort);
    if (n < 0)
        return Fail(ErrorOf(errno)), INVALID_HANDLE_VALUE;
    Find* find = new Find;
    for (int i = 0; i < n; ++i) {
        const std::string entry = entries[i]->d_name;
        free(entries[i]);
        // Only names with a 932 form are names here; a root has no . or ..
        const std::wstring wide = Wide(entry);
        std::string back;
        for (WCHAR c : wide)
            Encode(c, back);
        struct stat info;
        if (back != entry || wide.size() >= MAX_PATH || (root && (entry == "." || entry == "..")) ||
            !Matches(name.c_str(), wide.c_str()) || stat((posix + "/" + entry).c_str(), &info) != 0)
            continue;
        WIN32_FIND_DATAW data = {};
        data.dwFileAttributes = S_ISDIR(info.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
        wcscpy(data.cFileName, wide.c_str());
        find->matches.push_back(data);
    }
    free(entries);
    if (!FindNextFileW(find, found)) {
        delete find;
        return Fail(ERROR_FILE_NOT_FOUND), INVALID_HANDLE_VALUE;
    }
    return find;
}

BOOL FindNextFileW(HANDLE handle, WIN32_FIND_DATAW* found)
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

// Both return the length without the NUL, or the size needed with it when
// the buffer is too small.
DWORD GetCurrentDirectoryW(DWORD size, LPWSTR buffer)
{
    std::wstring current;
    if (!CurrentDirectory(current))
        return 0;
    if (current.size() >= size)
        return DWORD(current.size() + 1);
    wmemcpy(buffer, current.c_str(), current.size() + 1);
    return DWORD(current.size());
}

DWORD GetFullPathNameW(LPCWSTR path, DWORD size, LPWSTR buffer, LPWSTR* filePart)
{
    std::wstring full;
    if (path == nullptr)
        return Fail(ERROR_INVALID_PARAMETER), 0;
    if (!FullPath(path, full))
        return 0;
    if (full.size() >= size)
        return DWORD(full.size() + 1);
    wmemcpy(buffer, full.c_str(), full.size() + 1);
    if (filePart) {
        const size_t last = full.find_last_of(L'\\');
        *filePart = last == std::wstring::npos || last + 1 == full.size() ? nullptr : buffer + last + 1;
    }
    return DWORD(full.size());
}

BOOL GetVolumeInformationW(LPCWSTR root, LPWSTR, DWORD, DWORD*, DWORD* maxComponent,
                           DWORD* flags, LPWSTR, DWORD)
{
    if (root == nullptr || (root[0] | 0x20) != L'z' || wcscmp(root + 1, L":\\") != 0)
        return Fail(ERROR_PATH_NOT_FOUND);
    if (maxComponent)
        *maxComponent = 255;
    if (flags)
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

// count -1: up to and with the NUL. A size query (output count 0) returns
// what the conversion needs; a smaller buffer fails.
int MultiByteToWideChar(UINT codePage, DWORD flags, const char* bytes, int count, LPWSTR wide,
                        int wideCount)
{
    if (codePage != kCodePage || flags != 0)
        Die("MultiByteToWideChar not served for", std::to_string(codePage) + " flags " + std::to_string(flags));
    if (bytes == nullptr || count == 0 || count < -1 || wideCount < 0 || (wideCount && !wide))
        return Fail(ERROR_INVALID_PARAMETER), 0;
    const std::wstring result = Wide(std::string(bytes, count < 0 ? strlen(bytes) + 1 : size_t(count)));
    if (wideCount == 0)
        return int(result.size());
    if (result.size() > size_t(wideCount))
        return Fail(ERROR_INSUFFICIENT_BUFFER), 0;
    wmemcpy(wide, result.data(), result.size());
    return int(result.size());
}

int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR wide, int count, char* bytes,
                        int byteCount, const char* defaultChar, BOOL* usedDefault)
{
    if (codePage != kCodePage || (flags & ~DWORD(WC_NO_BEST_FIT_CHARS)) != 0)
        Die("WideCharToMultiByte not served for", std::to_string(codePage) + " flags " + std::to_string(flags));
    if (wide == nullptr || count == 0 || count < -1 || byteCount < 0 || (byteCount && !bytes))
        return Fail(ERROR_INVALID_PARAMETER), 0;
    const size_t n = count < 0 ? wcslen(wide) + 1 : size_t(count);
    std::string result;
    bool defaulted = false;
    for (size_t i = 0; i < n; ++i) {
        if (!Encode(wide[i], result)) {
            result += defaultChar ? *defaultChar : '?';
            defaulted = true;
        }
    }
    if (usedDefault)
        *usedDefault = defaulted;
    if (byteCount == 0)
        return int(result.size());
    if (result.size() > size_t(byteCount))
        return Fail(ERROR_INSUFFICIENT_BUFFER), 0;
    memcpy(bytes, result.data(), result.size());
    return int(result.size());
}

int CompareStringW(LCID locale, DWORD flags, LPCWSTR a, int aCount, LPCWSTR b, int bCount)
{
    if (locale != kJapanese || (flags & ~DWORD(NORM_IGNORECASE)) != 0)
        Die("CompareStringW not served for", std::to_string(locale) + " flags " + std::to_string(flags));
    if (a == nullptr || b == nullptr)
        return Fail(ERROR_INVALID_PARAMETER), 0;
    const size_t na = aCount < 0 ? wcslen(a) : size_t(aCount);
    const size_t nb = bCount < 0 ? wcslen(b) : size_t(bCount);
    const bool fold = flags & NORM_IGNORECASE;
    for (size_t i = 0; i < na && i < nb; ++i) {
        const WCHAR x = fold ? Fold(a[i]) : a[i];
        const WCHAR y = fold ? Fold(b[i]) : b[i];
        if (x != y)
            return x < y ? CSTR_LESS_THAN : CSTR_GREATER_THAN;
    }
    return na == nb ? CSTR_EQUAL : na < nb ? CSTR_LESS_THAN : CSTR_GREATER_THAN;
}

int CompareStringOrdinal(LPCWSTR a, int aCount, LPCWSTR b, int bCount, BOOL ignoreCase)
{
    if (a == nullptr || b == nullptr)
        return Fail(ERROR_INVALID_PARAMETER), 0;
    const size_t na = aCount < 0 ? wcslen(a) : size_t(aCount);
    const size_t nb = bCount < 0 ? wcslen(b) : size_t(bCount);
    const auto upper = [ignoreCase](WCHAR c) { return ignoreCase && c >= L'a' && c <= L'z' ? WCHAR(c - L'a' + L'A') : c; };
    for (size_t i = 0; i < na && i < nb; ++i) {
        const WCHAR x = upper(a[i]), y = upper(b[i]);
        if (x != y)
            return x < y ? CSTR_LESS_THAN : CSTR_GREATER_THAN;
    }
    return na == nb ? CSTR_EQUAL : na < nb ? CSTR_LESS_THAN : CSTR_GREATER_THAN;
}

int lstrlenA(const char* text) { return text ? int(strlen(text)) : 0; }

int MessageBoxW(HWND, LPCWSTR text, LPCWSTR caption, UINT style)
{
    fuzz_win32::boxText = text ? text : L"";
    fuzz_win32::boxCaption = caption ? caption : L"";
    fuzz_win32::boxStyle = style;
    fuzz_win32::boxError = lastError;
    lastError = 0;
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
    boxText.clear();
    boxCaption.clear();
    boxStyle = 0;
    boxError = 0;
    lastError = 0;
}

void PutFile(const char* name, const void* bytes, size_t size)
{
    FILE* out = fopen(name, "wb");
    if (out == nullptr || fwrite(bytes, 1, size, out) != size || fclose(out) != 0)
        Die("cannot write", name);
}

}  // namespace fuzz_win32
