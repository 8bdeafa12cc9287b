#include "paths/paths.h"

#include "base/multibyte.h"
#include "base/text_932.h"
#include "paths/wide_paths.h"

const char* LastSeparator(const char* text)
{
    if (!text)
        return nullptr;
    const char* last = nullptr;
    for (const char* p = text; *p; p = NextChar(p))
        if (*p == '\\')
            last = p;
    return last;
}

char* LastSeparator(char* text)
{
    return const_cast<char*>(LastSeparator(static_cast<const char*>(text)));
}

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
