#include "pak/archive_revision.h"

#include "pak/archive_file.h"
#include "pak/archive_header.h"

namespace {

// quietOpen is put back however the read ends: a failure raised by the
// archive search must not leave every later open of the run without its
// prompt, nor a caller that opens quietly with one.
class QuietOpen {
public:
    QuietOpen() : previous_(quietOpen) { quietOpen = 1; }
    QuietOpen(const QuietOpen&) = delete;
    QuietOpen& operator=(const QuietOpen&) = delete;
    virtual ~QuietOpen() { quietOpen = previous_; }

private:
    int previous_;
};

}  // namespace

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
