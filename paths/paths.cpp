#include "paths/paths.h"

#include "base/multibyte.h"
#include "base/text_932.h"
#include "paths/wide_paths.h"

bool EndsWithSeparator(const char* text)
{
    if (!text)
        return false;
    const char* end = text + lstrlenA(text);
    const char* last = PrevChar(text, end);
    // PrevChar lands on the lead byte of a final double-byte character, so a
    // trail byte 0x5C is never seen here.
    return last != end && *last == '\\';
}

bool IsAbsolutePath(const char* text)
{
    if (!text || !*text)
        return false;
    if (*text == '\\')
        return true;
    return *NextChar(text) == ':';
}

void CreateDirectories(const char* path)
{
    if (path && *path)
        CreateDirectories(WideFrom932(path));
}
