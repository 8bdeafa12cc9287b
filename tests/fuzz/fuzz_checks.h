#pragma once
// What the fuzz targets hold the readers to, beyond the sanitizers: a lookup
// ends in found, not found, the damaged-archive failure or (answered Abort)
// the open failure; it delivers exactly Size bytes, also after a Seek, and
// prompts only when nothing opened, naming the path it was given; a
// revision read is quiet.
//
// The product compiles its texts to code page 932; clang 14 cannot (no
// -fexec-charset=CP932), so here they are UTF-8 bytes, which the layer's 932
// reads with stand-ins where they are no valid 932. Expected texts are built
// from the same literals, converted as the product converts them.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <windows.h>
#include <string>
#include "base/exceptions.h"
#include "base/string.h"
#include "base/text_932.h"
#include "pak/archive_file.h"
#include "pak/archive_revision.h"

#define FUZZ_CHECK(condition)                                                       \
    do {                                                                            \
        if (!(condition)) {                                                         \
            fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
            abort();                                                                \
        }                                                                           \
    } while (0)

// The damaged-archive failure, in 932 and as the user is shown it.
inline bool IsDamagedArchive(const OCErrorException& e)
{
    const char* text = "データ解凍に失敗しました。";
    return e.message.text != nullptr && strcmp(e.message.text, text) == 0 &&
           e.wideMessage == WideFrom932(text);
}

// The updater's open prompt for path: its sentence with the path exactly,
// its caption and buttons, topmost.
inline bool PromptedFor(const std::wstring& path)
{
    return fuzz_win32::boxText == WideFrom932("ファイル ") + path + WideFrom932(" が開けません。") &&
           fuzz_win32::boxCaption == WideFrom932("ファイルエラー") &&
           fuzz_win32::boxStyle == (MB_ABORTRETRYIGNORE | MB_TOPMOST);
}

// The failure an Abort raises for name (932): the path exactly in UTF-16;
// in 932 as far as it goes, which for a name valid in 932 is byte for byte;
// the code the failed open left, not what the box did to the last error.
inline bool IsAbortedOpen(const OCErrorException& e, const char* name)
{
    const std::wstring path = WideFrom932(name);
    if (e.wideMessage != WideFrom932("ファイル ") + path + WideFrom932(" が開けませんでした。") ||
        e.code != fuzz_win32::boxError)
        return false;
    String exact;
    if (!ExactlyTo932(path, exact))
        return true;
    const std::string head = std::string("ファイル ") + name + " ";
    return strncmp(TextOf(e.message), head.c_str(), head.size()) == 0;
}

// Reads from the position to Size, in chunks; returns the count read.
inline uint32_t ReadToEnd(ArchiveFile& file, uint32_t from, uint32_t size)
{
    static unsigned char chunk[1 << 16];
    uint32_t done = from;
    while (done < size) {
        const uint32_t want = size - done < sizeof chunk ? size - done : uint32_t(sizeof chunk);
        const uint32_t got = file.Read(chunk, want);
        FUZZ_CHECK(got <= want);
        if (got == 0)
            break;
        done += got;
    }
    return done - from;
}

// Opens name for reading as the updater does, with `answer` to the first
// open prompt, and reads all it delivers, then its second half again.
inline void LookUp(const char* name, int answer)
{
    fuzz_win32::boxAnswer = answer;
    const int boxes = fuzz_win32::boxCount;
    try {
        ArchiveFile file;
        const bool opened = file.Open(name, ModeRead);
        FUZZ_CHECK(fuzz_win32::boxCount == boxes + (opened ? 0 : answer == IDRETRY ? 2 : 1));
        if (!opened) {
            FUZZ_CHECK(PromptedFor(WideFrom932(name)));
            return;
        }
        const uint32_t size = file.Size();
        FUZZ_CHECK(ReadToEnd(file, 0, size) == size);  // an entry lies wholly in its archive
        file.Seek(size / 2);
        FUZZ_CHECK(ReadToEnd(file, size / 2, size) == size - size / 2);
        file.Close();
    } catch (const OCErrorException& e) {
        FUZZ_CHECK(IsDamagedArchive(e) ||
                   (answer == IDABORT && fuzz_win32::boxCount == boxes + 1 &&
                    PromptedFor(WideFrom932(name)) && IsAbortedOpen(e, name)));
    }
}

// The revision text: quiet, and empty or a signed decimal number.
inline void ReadRevision(const char* path)
{
    const int boxes = fuzz_win32::boxCount;
    String text;
    try {
        GetArchiveRevisionText(path, text);
    } catch (const OCErrorException& e) {
        FUZZ_CHECK(IsDamagedArchive(e));
    }
    FUZZ_CHECK(fuzz_win32::boxCount == boxes && quietOpen == 0);
    const char* p = TextOf(text);
    if (*p == '-')
        ++p;
    FUZZ_CHECK(text.IsEmpty() || (*p != '\0' && strspn(p, "0123456789") == strlen(p)));
}
