#include "updtool/archives/archive_input.h"

#include <cstdio>
#include "system/native_file.h"
#include "paths/device_name.h"
#include "paths/wide_paths.h"
#include "updtool/console/command_line.h"
#include "updtool/archives/entry_names.h"
#include "base/shown_text.h"

// The index is read record by record from the stream; a larger buffer than
// the runtime's 4 KiB saves a system call per few records.
const size_t kStreamBuffer = 64 * 1024;

std::string OrdinaryFileProblem(const std::wstring& path)
{
    const std::string shown = Shown(path);
    // Never opened: reading a device could wait for ever or read nothing.
    if (NamesDevice(LeafOf(path)))
        return shown + " names a device, not a file";
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return SystemErrorText("cannot read " + shown, GetLastError(), path);
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return shown + " is a folder, not a file";
    Handle file;
    if (!OpenFile(FileOpen::ReadBesideWriters, FilePlace(path), file))
        return SystemErrorText("cannot read " + shown, GetLastError(), path);
    if (GetFileType(file.Get()) != FILE_TYPE_DISK)
        return shown + " is no ordinary file (a pipe or a device)";
    return std::string();
}

int OpenArchiveArgument(const char* command, const std::wstring& path, ArchiveFile& archive,
                        ArchiveFile* data)
{
    const std::string problem = OrdinaryFileProblem(path);
    if (!problem.empty())
        return Fail(command, problem);
    for (ArchiveFile* file : {&archive, data}) {
        // The tool sets no open-failure handler: a failed open returns false
        // instead of asking.
        if (!file->Open(path, ModeRead) || file->inArchive)
            return Fail(command, SystemErrorText("cannot read " + Shown(path), GetLastError(), path));
        setvbuf(file->file, nullptr, _IOFBF, kStreamBuffer);
    }
    return ExitOk;
}

int CheckArchiveArguments(const char* command, const std::vector<std::wstring>& positional,
                          bool allowMore)
{
    if (positional.empty())
        return UsageError(command, "name the archive");
    if (positional.size() > 1 && !allowMore)
        return UsageError(command, "one archive only, not " + Shown(positional[1]));
    return ExitOk;
}

int CheckArchiveArgument(const char* command, const std::wstring& path, ArchiveReport& report)
{
    ArchiveFile archive, data;
    if (int code = OpenArchiveArgument(command, path, archive, &data))
        return code;
    CheckArchive(archive, data, CheckFull, report, [](const std::string& name) {
        const std::string refusal = EntryNameRefusal(name);
        return refusal.empty() ? refusal
                               : "the name " + refusal +
                                     ": extract refuses it, and the updater would misplace or "
                                     "never find it";
    });
    return ExitOk;
}

std::wstring VerbatimPath(const std::wstring& path)
{
    return path.compare(0, 4, L"\\\\?\\") == 0   ? path
           : path.compare(0, 2, L"\\\\") == 0 ? L"\\\\?\\UNC" + path.substr(1)
                                              : L"\\\\?\\" + path;
}

void OpenListedFile(Handle& file, const std::wstring& path, const std::string& what)
{
    if (!OpenFile(FileOpen::ReadBesideWriters, FilePlace(VerbatimPath(path)), file))
        ThrowSystemError("cannot read " + what, path);
}

uint32_t ReadListedFile(HANDLE file, void* buffer, uint32_t n, const std::string& what)
{
    uint32_t got = 0;
    if (!ReadUpTo(file, buffer, n, got))
        ThrowSystemError("cannot read " + what);
    return got;
}

std::string ProblemMessage(const ArchiveProblem& problem)
{
    return problem.namesOther ? problem.message + ShownName(problem.other) + problem.suffix
                              : problem.message;
}
