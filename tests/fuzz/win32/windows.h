#pragma once
// The few Win32 calls the archive and settings readers make, served on Linux
// for the native fuzz build only (tests/fuzz/win32 comes first on its include
// path). Behaviour follows Windows as the readers rely on it:
//
//   - The ANSI code page is 932: lead bytes 0x81-0x9F and 0xE0-0xFC, stepping
//     as CharNextA/CharPrevA step; single-byte case folding of A-Z only.
//   - Paths are confined to a sandbox directory that stands for drive Z:. A
//     path with a drive letter or a leading backslash is resolved there
//     (backslashes, but never a Shift-JIS trail byte 0x5C, become slashes);
//     other drives, ".." components and anything but files and folders do
//     not exist. fopen is reached through the linker's --wrap=fopen.
//   - VirtualAlloc places the block so that its last byte is the last byte
//     before an inaccessible page; the bytes in front of it are poisoned.
//     A request above 256 MiB, the most the readers ever ask for, is a
//     finding: pages are not counted by libFuzzer's -malloc_limit_mb.
//   - MessageBoxA shows nothing: it counts the call and returns the answer
//     the harness chose for the first box (fuzz_win32::boxAnswer); every
//     later one is answered Ignore, so a Retry cannot loop.

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdio>

typedef uint32_t DWORD;
typedef int BOOL;
typedef unsigned int UINT;
typedef void* HANDLE;
typedef void* HWND;
typedef void* HMODULE;
typedef char16_t WCHAR;

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
#define ERROR_INVALID_PARAMETER 87
#define ERROR_NO_MORE_FILES 18
#define STATUS_NO_MEMORY (DWORD(0xC0000017))

#define MEM_COMMIT 0x1000
#define MEM_RESERVE 0x2000
#define MEM_RELEASE 0x8000
#define PAGE_READWRITE 0x04

#define CP_ACP 0
#define MAX_LEADBYTES 12
#define MAX_DEFAULTCHAR 2
#define MB_ERR_INVALID_CHARS 0x08

#define MB_ABORTRETRYIGNORE 0x2
#define MB_TOPMOST 0x40000
#define IDABORT 3
#define IDRETRY 4
#define IDIGNORE 5

struct FILETIME {
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
};

struct CPINFO {
    UINT MaxCharSize;
    unsigned char DefaultChar[MAX_DEFAULTCHAR];
    unsigned char LeadByte[MAX_LEADBYTES];
};

struct WIN32_FIND_DATAA {
    DWORD dwFileAttributes;
    char cFileName[MAX_PATH];
};

// Errors
DWORD GetLastError();
void SetLastError(DWORD error);

// Owners in base/ name these; the readers open no handle or library.
BOOL CloseHandle(HANDLE handle);
BOOL FreeLibrary(HMODULE module);

// Files and directories
DWORD GetFileAttributesA(const char* path);
BOOL CreateDirectoryA(const char* path, void* security);
HANDLE FindFirstFileA(const char* pattern, WIN32_FIND_DATAA* found);
BOOL FindNextFileA(HANDLE find, WIN32_FIND_DATAA* found);
BOOL FindClose(HANDLE find);
DWORD GetCurrentDirectoryA(DWORD size, char* buffer);
BOOL GetVolumeInformationA(const char* root, char* volumeName, DWORD volumeNameSize,
                           DWORD* serial, DWORD* maxComponent, DWORD* flags,
                           char* fileSystemName, DWORD fileSystemNameSize);

// Memory
void* VirtualAlloc(void* address, size_t size, DWORD type, DWORD protect);
BOOL VirtualFree(void* address, size_t size, DWORD type);

// Text, code page 932
UINT GetACP();
BOOL GetCPInfo(UINT codePage, CPINFO* info);
char* CharNextA(const char* p);
char* CharPrevA(const char* start, const char* p);
BOOL IsCharUpperA(char c);
DWORD CharLowerBuffA(char* text, DWORD length);
DWORD CharUpperBuffW(WCHAR* text, DWORD length);
int MultiByteToWideChar(UINT codePage, DWORD flags, const char* bytes, int count, WCHAR* wide,
                        int wideCount);
int WideCharToMultiByte(UINT codePage, DWORD flags, const WCHAR* wide, int count, char* bytes,
                        int byteCount, const char* defaultChar, BOOL* usedDefault);
int lstrlenA(const char* text);
int lstrcmpiA(const char* a, const char* b);

// User interface
int MessageBoxA(HWND owner, const char* text, const char* caption, UINT style);

// The runtime library's (msvcrt's) own names.
int _vsnprintf(char* buffer, size_t count, const char* format, va_list args);
int _vscprintf(const char* format, va_list args);
int _scprintf(const char* format, ...);
int _fseeki64(FILE* stream, int64_t offset, int origin);
int64_t _ftelli64(FILE* stream);

// What the harness sets and reads.
namespace fuzz_win32 {

// Answer to the first MessageBoxA after ResetSandbox (IDIGNORE unless the
// harness says otherwise) and the number of boxes "shown" since.
extern int boxAnswer;
extern int boxCount;

// Gives the process an empty current directory, Z:\update, in its own
// sandbox under TMPDIR (or /tmp), removed at exit; resets the answer, the
// count and the last error. Call it first for every input.
void ResetSandbox();
// Writes bytes to a file named relative to the current directory.
void PutFile(const char* name, const void* bytes, size_t size);

}  // namespace fuzz_win32
