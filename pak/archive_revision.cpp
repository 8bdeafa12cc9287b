#include "pak/archive_revision.h"

#include "pak/archive_file.h"
#include "pak/archive_header.h"

namespace {

template <class Path>
void AppendRevision(const Path& path, String& out)
{
    ArchiveFile file;
    const QuietOpen quiet;
    if (file.Open(path, ModeRead)) {
        ArchiveHeader header;
        header.Read(file);
        out.Append(RevisionText(int32_t(header.revision)).c_str());
    }
}

}  // namespace

std::string RevisionText(int32_t revision)
{
    String text;
    text.AppendInt(revision);
    return TextOf(text);
}

void GetArchiveRevisionText(const char* path, String& out)
{
    AppendRevision(path, out);
}

void GetArchiveRevisionText(const std::wstring& path, String& out)
{
    AppendRevision(path, out);
}
