#include "paths/paths.h"

#include "base/multibyte.h"

namespace {

// The first single-byte backslash at or after p, or the terminating NUL.
const char* NextSeparatorOrEnd(const char* p)
{
    while (*p && *p != '\\')
        p = NextChar(p);
    return p;
}

}  // namespace

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
    const char* last = CharPrevA(text, end);
    // CharPrevA lands on the lead byte of a final double-byte character, so a
    // trail byte 0x5C is never seen here.
    return last != end && *last == '\\';
}

bool IsAbsolutePath(const char* text)
{
    if (!text || !*text)
        return false;
    if (*text == '\\')
        return true;
    return *CharNextA(text) == ':';
}

void CreateDirectories(const char* path)
{
    if (!path || !*path)
        return;
    String work;
    work.Assign(path);
    String dir;
    // Leading backslashes stay: \dir is made on the current drive's root and
    // \\server\share\dir on the share, not relative to the current directory.
    const char* scan = work.text;
    while (*scan == '\\')
        ++scan;
    if (scan != work.text)
        dir.Append(work.text, int32_t(scan - work.text));

    for (;;) {
        while (*scan == '\\')
            ++scan;
        if (!*scan)
            break;
        const char* end = NextSeparatorOrEnd(scan);
        String component;
        work.CopyRange(component, scan, end);
        scan = end;
        if (component.IsEmpty())
            break;
        dir.Append(component.text);
        // A drive designator (C:, or x: in the middle) is never created.
        if (!IsAbsolutePath(component.text))
            CreateDirectoryA(dir.text, nullptr);
        dir.Append("\\");
    }
}

FilePath::FilePath() {}

FilePath::~FilePath() {}

void FilePath::SetPath(const char* text) { path.Assign(text); }

void FilePath::DirectoryPart(String& result) const
{
    if (EndsWithSeparator(path.text)) {
        result.Assign(path);
        return;
    }
    const char* last = LastSeparator(path.text);
    if (!last) {
        result.Assign(path);
        return;
    }
    path.CopyRange(result, path.text, last);
}
