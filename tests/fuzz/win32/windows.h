#pragma once
// The few Win32 calls the archive and settings readers make, served on Linux
// for the native fuzz build only (tests/fuzz/win32 comes first on its include
// path). Behaviour follows Windows as the readers rely on it:
//
//   - WCHAR is wchar_t, 32 bits here: the product's L"" texts and
//     std::wstring paths are what the -W calls take.
//   - Code page 932 (the only one served) converts by a stand-in mapping,
//     not the real table: bytes 0x00-0x7F are themselves; every other single
//     byte b (0x80, 0xA0-0xDF, 0xFD-0xFF) is 0xF0000 + b; a lead byte
//     (0x81-0x9F, 0xE0-0xFC) with a trail byte (0x40-0x7E, 0x80-0xFC) is the
//     pair's 0xF0000 + (lead << 8 | trail). A lead byte takes any byte but
//     NUL after it, as CharNextA steps and Wine converts; when that byte is
//     no trail byte, or none follows, the character is U+30FB, the stand-in
//     of 932. So each character is one WCHAR, as in UTF-16 (all of 932 lies
//     in the BMP), a trail byte 0x5C never becomes a backslash, and valid
//     932 text converts back byte for byte. Back to 932, every WCHAR outside
//     the mapping (U+30FB included) becomes '?' and sets *usedDefault; there
//     are no best-fit forms, with or without WC_NO_BEST_FIT_CHARS.
//   - CompareStringOrdinal folds a-z to A-Z when asked; CompareStringW
//     (Japanese locale, NORM_IGNORECASE) folds A-Z to a-z and
//     compares code points: one fixed order in which ASCII case is ignored,
//     which is what the readers need of it. Windows' linguistic order differs
//     for punctuation and non-ASCII characters.
//   - Paths are confined to a sandbox directory that stands for drive Z:. A
//     path is made full as GetFullPathNameW makes it (relative to the current
//     directory, "\" and "/" alike, "." and ".." resolved lexically and never
//     above the root; trailing dots and spaces are kept, which Windows would
//     drop); a \\?\Z:\ path is taken as it is. The sandbox's file names are
//     the 932 bytes of the names. Other drives, UNC and device paths,
//     characters outside the mapping and the characters Windows forbids in
//     names (<>:"|?* and controls) name nothing. Names are case-sensitive,
//     unlike Windows; the harness never relies on that. FindFirstFileW
//     matches '*' (any run) and '?' (one character) ignoring ASCII case,
//     without the 8.3 and DOS wildcard quirks.
//   - VirtualAlloc places the block so that its last byte is the last byte
//     before an inaccessible page; the bytes in front of it are poisoned.
//     A request above 256 MiB, the most the readers ever ask for, is a
//     finding: pages are not counted by libFuzzer's -malloc_limit_mb.
//   - MessageBoxW shows nothing: it records the box, counts it and returns
//     the answer the harness chose for the first box (fuzz_win32::boxAnswer);
//     every later one is answered Ignore, so a Retry cannot loop. Like Wine's
//     it clears the last error.
//   - A code page, locale or flag the layer does not serve is a finding
//     ("win32 layer: ..."): the product asked for more than it is known to.

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

typedef uint32_t DWORD;
typedef uint16_t WORD;
typedef int BOOL;
typedef unsigned int UINT;
typedef DWORD LCID;
typedef void* HANDLE;
typedef void* HWND;
typedef void* HMODULE;
typedef wchar_t WCHAR;
typedef const WCHAR* LPCWSTR;
typedef WCHAR* LPWSTR;

#define FALSE 0
#define TRUE 1
#define WINAPI
#define MAX_PATH 260

#define INVALID_HANDLE_VALUE (reinterpret_cast<HANDLE>(~uintptr_t(0)))
#define INVALID_FILE_ATTRIBUTES (DWORD(0xFFFFFFFF))
#define FILE_ATTRIBUTE_DIRECTORY 0x10
#define FILE_ATTRIBUTE_ARCHIVE 0x20

#define ERROR_FILE_NOT_FOUND 2
#define ERROR_PATH_NOT_FOUND 3
#define ERROR_ACCESS_DENIED 5
#define ERROR_NOT_ENOUGH_MEMORY 8
#define ERROR_NO_MORE_FILES 18
#define ERROR_INVALID_PARAMETER 87
#define ERROR_INSUFFICIENT_BUFFER 122
#define ERROR_INVALID_NAME 123
#define ERROR_FILE_CORRUPT 1392
#define STATUS_NO_MEMORY (DWORD(0xC0000017))

#define MEM_COMMIT 0x1000
#define MEM_RESERVE 0x2000
#define MEM_RELEASE 0x8000
#define PAGE_READWRITE 0x04

#define WC_NO_BEST_FIT_CHARS 0x400
#define MB_ERR_INVALID_CHARS 0x8

#define LANG_JAPANESE 0x11
#define SUBLANG_JAPANESE_JAPAN 0x01
#define SORT_DEFAULT 0x0
#define MAKELANGID(primary, sub) (WORD((WORD(sub) << 10) | WORD(primary)))
// A function, not a constant expression: archive_search.cpp captures the
// locale in a lambda, which clang (unlike the product's GCC) would otherwise
// call a needless capture.
inline LCID MAKELCID(WORD language, WORD sort)
{
    return LCID(DWORD(sort) << 16 | language);
}
#define NORM_IGNORECASE 0x1
#define CSTR_LESS_THAN 1
#define CSTR_EQUAL 2
#define CSTR_GREATER_THAN 3

#define MB_OK 0x0
#define MB_OKCANCEL 0x1
#define MB_ABORTRETRYIGNORE 0x2
#define MB_YESNOCANCEL 0x3
#define MB_YESNO 0x4
#define MB_RETRYCANCEL 0x5
#define MB_TYPEMASK 0xF
#define MB_TOPMOST 0x40000
#define IDOK 1
#define IDCANCEL 2
#define IDABORT 3
#define IDRETRY 4
#define IDIGNORE 5
#define IDYES 6
#define IDNO 7

struct SYSTEMTIME {
    WORD wYear, wMonth, wDayOfWeek, wDay, wHour, wMinute, wSecond, wMilliseconds;
};

struct FILETIME {
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
};

// The two members the readers look at.
struct WIN32_FIND_DATAW {
    DWORD dwFileAttributes;
    WCHAR cFileName[MAX_PATH];
};

// Errors
DWORD GetLastError();
void SetLastError(DWORD error);

// Owners in base/ name these; the readers open no handle or library.
BOOL CloseHandle(HANDLE handle);
BOOL FreeLibrary(HMODULE module);

// Files and directories
DWORD GetFileAttributesW(LPCWSTR path);
BOOL CreateDirectoryW(LPCWSTR path, void* security);
HANDLE FindFirstFileW(LPCWSTR pattern, WIN32_FIND_DATAW* found);
BOOL FindNextFileW(HANDLE find, WIN32_FIND_DATAW* found);
BOOL FindClose(HANDLE find);
DWORD GetCurrentDirectoryW(DWORD size, LPWSTR buffer);
DWORD GetFullPathNameW(LPCWSTR path, DWORD size, LPWSTR buffer, LPWSTR* filePart);
BOOL GetVolumeInformationW(LPCWSTR root, LPWSTR volumeName, DWORD volumeNameSize,
                           DWORD* serial, DWORD* maxComponent, DWORD* flags,
                           LPWSTR fileSystemName, DWORD fileSystemNameSize);

// Memory
void* VirtualAlloc(void* address, size_t size, DWORD type, DWORD protect);
BOOL VirtualFree(void* address, size_t size, DWORD type);

// Text, code page 932 (see above)
int MultiByteToWideChar(UINT codePage, DWORD flags, const char* bytes, int count, LPWSTR wide,
                        int wideCount);
int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR wide, int count, char* bytes,
                        int byteCount, const char* defaultChar, BOOL* usedDefault);
int CompareStringW(LCID locale, DWORD flags, LPCWSTR a, int aCount, LPCWSTR b, int bCount);
int lstrlenA(const char* text);
// Ordinal, upper case taken for ASCII letters only (Windows folds every
// script's letters).
int CompareStringOrdinal(LPCWSTR a, int aCount, LPCWSTR b, int bCount, BOOL ignoreCase);

// User interface
int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT style);

// The runtime library's (msvcrt's) own names.
FILE* _wfopen(const wchar_t* path, const wchar_t* mode);
int _vsnprintf(char* buffer, size_t count, const char* format, va_list args);
int _vscprintf(const char* format, va_list args);
int _scprintf(const char* format, ...);
int _fseeki64(FILE* stream, int64_t offset, int origin);
int64_t _ftelli64(FILE* stream);

// What the harness sets and reads.
namespace fuzz_win32 {

// Answer to the first MessageBoxW after ResetSandbox (IDIGNORE unless the
// harness says otherwise) and the number of boxes "shown" since.
extern int boxAnswer;
extern int boxCount;
// The latest box: its texts and style, and the last error as it was when it
// was shown.
extern std::wstring boxText;
extern std::wstring boxCaption;
extern UINT boxStyle;
extern DWORD boxError;

// Gives the process an empty current directory, Z:\update, in its own
// sandbox under TMPDIR (or /tmp), removed at exit; resets the answer, the
// boxes and the last error. Call it first for every input.
void ResetSandbox();
// Writes bytes to a file named relative to the current directory.
void PutFile(const char* name, const void* bytes, size_t size);

}  // namespace fuzz_win32
