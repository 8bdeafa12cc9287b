#include "updtool/archive_input.h"

#include <cstdio>
#include <vector>
#include "updtool/command_line.h"
#include "updtool/tool_error.h"
#include "updtool/tool_output.h"

namespace {

// The index is read record by record from the stream; a larger buffer than
// the runtime's 4 KiB saves a system call per few records.
const size_t kStreamBuffer = 64 * 1024;

}  // namespace

int OpenArchiveArgument(const char* command, const std::string& path, ArchiveFile& archive)
{
    const std::string shown = "'" + Utf8FromAnsi(path) + "'";
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return Fail(command, SystemErrorText("cannot read " + shown, GetLastError()));
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return Fail(command, "cannot read " + shown + ": it is a folder");
    // The tool sets no open-failure handler: a failed open returns false
    // instead of asking.
    if (!archive.Open(path.c_str(), ModeRead) || archive.inArchive)
        return Fail(command, SystemErrorText("cannot read " + shown, GetLastError()));
    setvbuf(archive.file, nullptr, _IOFBF, kStreamBuffer);
    return ExitOk;
}

int CheckArchiveArguments(const char* command, const std::vector<std::string>& positional,
                          bool allowMore)
{
    if (positional.empty())
        return UsageError(command, "name the archive");
    if (positional.size() > 1 && !allowMore)
        return UsageError(command, "one archive only, not '" + Utf8FromAnsi(positional[1]) + "'");
    return ExitOk;
}
