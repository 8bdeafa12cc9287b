#pragma once
// What the fuzz targets hold the readers to, beyond the sanitizers: a lookup
// ends in found, not found, the damaged-archive failure or (answered Abort)
// the open failure; it delivers exactly Size bytes, also after a Seek, and
// prompts only when nothing opened; a revision read is quiet.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <windows.h>
#include "base/exceptions.h"
#include "base/string.h"
#include "pak/archive_file.h"
#include "pak/archive_revision.h"

#define FUZZ_CHECK(condition)                                                       \
    do {                                                                            \
        if (!(condition)) {                                                         \
            fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
            abort();                                                                \
        }                                                                           \
    } while (0)

inline bool IsDamagedArchive(const OCErrorException& e)
{
    return e.message.text != nullptr && strcmp(e.message.text, "データ解凍に失敗しました。") == 0;
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
        if (!opened)
            return;
        const uint32_t size = file.Size();
        FUZZ_CHECK(ReadToEnd(file, 0, size) == size);  // an entry lies wholly in its archive
        file.Seek(size / 2);
        FUZZ_CHECK(ReadToEnd(file, size / 2, size) == size - size / 2);
        file.Close();
    } catch (const OCErrorException& e) {
        String aborted;
        aborted.Format("ファイル %s が開けませんでした。", name);
        FUZZ_CHECK(IsDamagedArchive(e) ||
                   (answer == IDABORT && strcmp(TextOf(e.message), TextOf(aborted)) == 0));
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
