#include "pak/archive_revision.h"

#include "pak/archive_file.h"
#include "pak/archive_header.h"

void GetArchiveRevisionText(const char* path, String& out)
{
    ArchiveFile file;
    QuietOpen quiet;
    if (file.Open(path, ModeRead)) {
        ArchiveHeader header;
        header.Read(file);
        out.AppendInt(int32_t(header.revision));
    }
}
