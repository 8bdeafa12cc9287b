#include "update/apply_update.h"

#include <windows.h>
#include <io.h>

#include <vector>

#include "base/buffer.h"
#include "base/exceptions.h"
#include "base/owned.h"
#include "base/string.h"
#include "pak/archive_file.h"
#include "pak/open_failure.h"
#include "paths/wide_paths.h"
#include "update/temporary_file.h"

namespace {

const uint32_t kChunk = 0x10000;
// The copy's name beside its target: upd<four hex digits>.tmp.
const wchar_t* const kTemporaryPrefix = L"upd";

// Antivirus scanners and indexers hold a freshly written file for a moment;
// such a lock is waited out briefly (10 + 20 + 40 + 80 ms) before the user
// is asked.
const int kTransientTries = 4;
const DWORD kFirstDelayMs = 10;

// What to do after a failed attempt on the target: a transient lock is
// waited out a few times with a growing delay; anything else goes to the user.
class Attempts {
public:
    // accessDeniedPasses: "access denied" may be a lock too. A rename over a
    // file another program holds (even one that shares deleting) and a new
    // name a scanner is looking at are refused that way.
    Attempts(const std::wstring& target, bool accessDeniedPasses)
        : target_(target), accessDeniedPasses_(accessDeniedPasses), tries_(0), delay_(kFirstDelayMs)
    {
    }
    virtual ~Attempts() {}

    // True: try again. False: the user chose Ignore. Abort raises.
    bool Again(DWORD error)
    {
        if (error == 0)
            error = ERROR_ACCESS_DENIED;
        const bool transient = error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION ||
                               (accessDeniedPasses_ && error == ERROR_ACCESS_DENIED);
        if (transient && tries_ < kTransientTries) {
            ++tries_;
            Sleep(delay_);
            delay_ *= 2;
            return true;
        }
        tries_ = 0;
        delay_ = kFirstDelayMs;
        SetLastError(error);
        return HandleOpenFailure(target_);
    }

private:
    const std::wstring& target_;
    bool accessDeniedPasses_;
    int tries_;
    DWORD delay_;
};

// The source's times, and attributes (0: as they are), set through the
// handle of the file that took the target's place.
void FinishTimesAndAttributes(HANDLE file, const FILE_BASIC_INFO& source, DWORD attributes)
{
    FILE_BASIC_INFO basic = {};
    basic.CreationTime = source.CreationTime;
    basic.LastAccessTime = source.LastAccessTime;
    basic.LastWriteTime = source.LastWriteTime;
    // Read-only last: once it is set, Wine can no longer store the other
    // attributes.
    const DWORD others = attributes & ~DWORD(FILE_ATTRIBUTE_READONLY);
    basic.FileAttributes = others ? others : (attributes ? FILE_ATTRIBUTE_NORMAL : 0);
    SetFileInformationByHandle(file, FileBasicInfo, &basic, sizeof basic);
    if (attributes & FILE_ATTRIBUTE_READONLY) {
        FILE_BASIC_INFO readOnly = {};
        readOnly.FileAttributes = attributes;
        SetFileInformationByHandle(file, FileBasicInfo, &readOnly, sizeof readOnly);
    }
}

// What lies at target, and whether it could be replaced now: attributes
// (INVALID_FILE_ATTRIBUTES when nothing is there) and 0, or the error Windows
// would give. One open for writing and deleting answers both in the usual
// case; it fails the way the final rename would when another program holds
// the file. Wine lets a rename replace a read-only file, so that attribute
// is checked here as Windows would refuse it.
DWORD ProbeTarget(const std::wstring& target, DWORD& attributes)
{
    const std::wstring path = LongPathForm(target);
    const Handle handle(CreateFileW(path.c_str(), GENERIC_WRITE | DELETE | FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (handle.Valid()) {
        FILE_BASIC_INFO information;
        attributes = GetFileInformationByHandleEx(handle.Get(), FileBasicInfo, &information,
                                                  sizeof information)
                         ? information.FileAttributes
                         : GetFileAttributesW(path.c_str());
        return attributes & FILE_ATTRIBUTE_READONLY ? ERROR_ACCESS_DENIED : 0;
    }
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
        attributes = INVALID_FILE_ATTRIBUTES;
        return 0;
    }
    // Read-only, a folder, or held by another program.
    attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || attributes == 0)
        return 0;
    if (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY))
        return ERROR_ACCESS_DENIED;
    return error ? error : ERROR_ACCESS_DENIED;
}

// Makes sure the target can be replaced and creates the temporary file in its
// folder (and the folder, when it is missing). Asks the user as an open does
// when either fails, naming the target. False when the user chose Ignore;
// Abort raises.
bool PrepareReplacement(const std::wstring& target, DWORD probed, TemporaryFile& temporary)
{
    const std::wstring folder = ContainingFolder(target);
    Attempts locked(target, false);
    Attempts creating(target, true);
    for (;;) {
        DWORD error = probed;
        if (error == 0) {
            if (temporary.Create(folder, kTemporaryPrefix))
                return true;
            error = GetLastError();
            if (error == ERROR_PATH_NOT_FOUND) {
                CreateDirectories(folder);
                if (temporary.Create(folder, kTemporaryPrefix))
                    return true;
                error = GetLastError();
            }
            if (!creating.Again(error))
                return false;
        } else if (!locked.Again(error)) {
            return false;
        }
        DWORD attributes = 0;
        probed = ProbeTarget(target, attributes);
    }
}

// The temporary file takes the target's place in one rename. False when the
// user chose Ignore; Abort raises.
bool Replace(TemporaryFile& temporary, const std::wstring& target)
{
    Attempts attempts(target, true);
    for (;;) {
        if (temporary.RenameOver(target, true))
            return true;
        if (!attempts.Again(GetLastError()))
            return false;
    }
}

// True when the open source is the very file target names (the destination
// is the update's own folder). Copying it onto itself has nothing to do, and
// its open stream would only make the replacement fail.
bool IsSameFile(const ArchiveFile& source, const std::wstring& target)
{
    if (!source.file || source.inArchive || source.path.empty())
        return false;
    // By full path, which needs no file system access (asking Wine for file
    // identities costs about a millisecond per file). Another name for the
    // same file, such as a link, is not recognised and ends in the prompt.
    const std::wstring sourcePath = LongPathForm(source.path, MAX_PATH);
    const std::wstring targetPath = LongPathForm(target, MAX_PATH);
    return !sourcePath.empty() && !targetPath.empty() &&
           CompareStringOrdinal(sourcePath.c_str(), -1, targetPath.c_str(), -1, TRUE) == CSTR_EQUAL;
}

[[noreturn]] void RaiseReadFailure(const char* source, DWORD error)
{
    // A read that stops short without an error of its own (the file shrank)
    // still needs a code that says why.
    String message;
    message.Format("ファイル %s が読めませんでした。", source);
    SetLastError(error ? error : ERROR_HANDLE_EOF);
    throw OCErrorException(message.text);
}

}  // namespace

void ApplyUpdateFile(const char* source, const std::wstring& target, int force,
                     uint32_t attributeMask, ProgressFunction progress, void* user)
{
    ArchiveFile input;
    // Ignore at the source's prompt: nothing to copy, so the installed file is
    // left alone rather than emptied.
    if (!input.Open(source, ModeRead))
        return;

    DWORD existing = INVALID_FILE_ATTRIBUTES;
    const DWORD probed = ProbeTarget(target, existing);
    if (existing != INVALID_FILE_ATTRIBUTES && existing != 0 && force == kKeepExisting)
        return;
    if (existing != INVALID_FILE_ATTRIBUTES && IsSameFile(input, target))
        return;

    // The target is never written in place: a failure half-way would leave the
    // installed program truncated. The copy goes to a temporary file in the
    // same folder (same volume, so the final rename is atomic).
    TemporaryFile temporary;
    if (!PrepareReplacement(target, probed, temporary))
        return;

    {
        Buffer block(kChunk);
        // 64 bits: a source of 4 GiB or more is copied whole.
        uint64_t remaining = input.Size64();
        while (remaining != 0) {
            const uint32_t n = remaining < kChunk ? uint32_t(remaining) : kChunk;
            SetLastError(0);
            const uint32_t got = input.Read(block.data, n);
            // Taken before the progress function runs: it may change it.
            const DWORD readError = got == 0 ? GetLastError() : 0;
            if (got != 0)
                temporary.Write(block.data, got);
            remaining -= got;
            if (progress)
                progress(got, user);
            if (got == 0)
                RaiseReadFailure(source, readError);
        }
    }

    // On disk before it replaces the target, so a crash never leaves a
    // target whose new bytes were still in the cache.
    if (!temporary.Flush())
        throw OCErrorException("ファイル書込に失敗しました。");
    // The source's times and attributes in one query by handle, without a
    // second look-up of its path, and without local-time conversions that
    // could only lose what is stored. (The query that also asks for the
    // volume's serial number costs Wine several milliseconds.) For an
    // entry inside an archive these are the archive's.
    FILE_BASIC_INFO original = {};
    HANDLE stream = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(input.file)));
    const bool known = GetFileInformationByHandleEx(stream, FileBasicInfo, &original, sizeof original) != 0;
    // An entry has no attributes of its own (and the archive's are not the
    // entry's): the target keeps them as created.
    DWORD attributes = 0;
    if (known && attributeMask != kKeepCreatedAttributes && !input.inArchive) {
        attributes = attributeMask & original.FileAttributes;
        if (attributes == 0)
            attributes = FILE_ATTRIBUTE_NORMAL;
    }
    input.Close();

    if (!Replace(temporary, target))
        return;
    // After the rename: Windows' name tunnelling would otherwise give the
    // file the replaced one's creation time. Read-only is set only now, as a
    // read-only file could not have been renamed over the target.
    if (known)
        FinishTimesAndAttributes(temporary.Get(), original, attributes);
    temporary.Close();
}
