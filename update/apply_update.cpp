#include "update/apply_update.h"

#include <windows.h>
#include <io.h>

#include "base/buffer.h"
#include "base/exceptions.h"
#include "base/string.h"
#include "pak/archive_file.h"
#include "paths/paths.h"

namespace {

const uint32_t kChunk = 0x10000;
const uint32_t kKeepAttributes = 0xFFFFFFFF;

// Antivirus scanners and indexers hold a freshly written file for a moment;
// such a lock is waited out briefly before the user is asked.
const int kTransientTries = 4;
const DWORD kFirstDelayMs = 10;

// The temporary copy beside the target. Removed on destruction unless it has
// become the target; declared before the file object writing it, so the
// stream is closed before the file is deleted.
class TemporaryFile {
public:
    String path;
    bool committed;

    TemporaryFile() : committed(false) {}
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    virtual ~TemporaryFile() { Remove(); }

    void Remove()
    {
        if (committed || path.IsEmpty())
            return;
        SetFileAttributesA(path.text, FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(path.text);
        path.Clear();
    }
};

// What to do after a failed attempt on the target: a transient lock is
// waited out a few times with a growing delay; anything else goes to the user.
class Attempts {
public:
    explicit Attempts(const char* target) : target_(target), tries_(0), delay_(kFirstDelayMs) {}
    virtual ~Attempts() {}

    // True: try again. False: the user chose Ignore. Abort raises.
    bool Again(DWORD error)
    {
        if (error == 0)
            error = ERROR_ACCESS_DENIED;
        const bool transient = error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
        if (transient && tries_ < kTransientTries) {
            ++tries_;
            Sleep(delay_);
            delay_ *= 2;
            return true;
        }
        tries_ = 0;
        delay_ = kFirstDelayMs;
        SetLastError(error);
        return PromptOpenFailure(target_);
    }

private:
    const char* target_;
    int tries_;
    DWORD delay_;
};

// Folder that holds target: the text before its last backslash, "X:" for a
// drive-relative name, "." for a bare name.
void TargetFolder(const char* target, String& folder)
{
    const char* slash = LastSeparator(target);
    if (slash) {
        // Keep the backslash of a root ("\name", "C:\name").
        int32_t length = int32_t(slash - target);
        if (length == 0 || (length == 2 && target[1] == ':'))
            ++length;
        folder.Assign(target, length);
    } else if (target && target[0] && target[1] == ':') {
        folder.Assign(target, 2);
    } else {
        folder.Assign(".");
    }
}

// 0 when an existing target could be replaced now, else the error Windows
// would give. Wine lets a rename replace a read-only file, so the attribute is
// checked here; an open for writing and deleting fails the way the rename
// would when another program holds the file.
DWORD CheckReplaceable(const char* target)
{
    const DWORD attributes = GetFileAttributesA(target);
    if (attributes == INVALID_FILE_ATTRIBUTES || attributes == 0)
        return 0;
    if (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY))
        return ERROR_ACCESS_DENIED;
    HANDLE handle = CreateFileA(target, GENERIC_WRITE | DELETE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        return error ? error : ERROR_ACCESS_DENIED;
    }
    CloseHandle(handle);
    return 0;
}

// Makes sure the target can be replaced and creates the temporary file in its
// folder. Asks the user as an open does when either fails. False when the user
// chose Ignore; Abort raises.
bool PrepareReplacement(const char* target, TemporaryFile& temporary)
{
    String folder;
    TargetFolder(target, folder);
    Attempts attempts(target);
    for (;;) {
        CreateDirectories(folder.text);
        DWORD error = CheckReplaceable(target);
        if (error == 0) {
            String name(MAX_PATH);
            if (GetTempFileNameA(folder.text, "upd", 0, name.text)) {
                temporary.path.Assign(name.text);
                return true;
            }
            error = GetLastError();
        }
        if (!attempts.Again(error))
            return false;
    }
}

// The temporary file takes the target's place in one rename. False when the
// user chose Ignore; Abort raises.
bool Replace(TemporaryFile& temporary, const char* target)
{
    Attempts attempts(target);
    for (;;) {
        if (MoveFileExA(temporary.path.text, target,
                        MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            temporary.committed = true;
            return true;
        }
        if (!attempts.Again(GetLastError()))
            return false;
    }
}

// True when the open source is the very file target names (the destination
// is the update's own folder). Copying it onto itself has nothing to do, and
// its open stream would only make the replacement fail.
bool IsSameFile(const ArchiveFile& source, const char* target)
{
    if (!source.file || source.inArchive || source.path.IsEmpty())
        return false;
    // By full path, which needs no file system access (asking Wine for file
    // identities costs about a millisecond per file). Another name for the
    // same file, such as a link, is not recognised and ends in the prompt.
    String sourcePath(1024);
    String targetPath(1024);
    const DWORD sourceLength =
        GetFullPathNameA(source.path.text, DWORD(sourcePath.capacity), sourcePath.text, nullptr);
    const DWORD targetLength =
        GetFullPathNameA(target, DWORD(targetPath.capacity), targetPath.text, nullptr);
    return sourceLength != 0 && sourceLength < DWORD(sourcePath.capacity) && targetLength != 0 &&
           targetLength < DWORD(targetPath.capacity) &&
           lstrcmpiA(sourcePath.text, targetPath.text) == 0;
}

// Windows' name tunnelling gives a file renamed onto a recently replaced name
// the old file's creation time, so the times are set once more by path after
// the rename. Best effort, like every time and attribute step.
void SetTimesByPath(const char* path, const FILETIME& creation, const FILETIME& lastAccess,
                    const FILETIME& lastWrite)
{
    FILETIME times[3] = {};
    LocalFileTimeToFileTime(&creation, &times[0]);
    LocalFileTimeToFileTime(&lastAccess, &times[1]);
    LocalFileTimeToFileTime(&lastWrite, &times[2]);
    HANDLE handle = CreateFileA(path, FILE_WRITE_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return;
    SetFileTime(handle, &times[0], &times[1], &times[2]);
    CloseHandle(handle);
}

[[noreturn]] void RaiseReadFailure(const char* source)
{
    // A read that stops short without an error of its own (the file shrank)
    // still needs a code that says why.
    const DWORD error = GetLastError() ? GetLastError() : ERROR_HANDLE_EOF;
    String message;
    message.Format("ファイル %s が読めませんでした。", source);
    SetLastError(error);
    throw OCErrorException(message.text);
}

}  // namespace

void ApplyUpdateFile(const char* source, const char* target, int force,
                     uint32_t attributeMask, ProgressFunction progress, void* user)
{
    ArchiveFile input;
    // Ignore at the source's prompt: nothing to copy, so the installed file is
    // left alone rather than emptied.
    if (!input.Open(source, ModeRead))
        return;

    const DWORD existing = GetFileAttributesA(target);
    if (existing != INVALID_FILE_ATTRIBUTES && existing != 0 && !force)
        return;
    if (existing != INVALID_FILE_ATTRIBUTES && IsSameFile(input, target))
        return;

    // The target is never written in place: a failure half-way would leave the
    // installed program truncated. The copy goes to a temporary file in the
    // same folder (same volume, so the final rename is atomic).
    TemporaryFile temporary;
    if (!PrepareReplacement(target, temporary))
        return;

    ArchiveFile output;
    if (!output.Open(temporary.path.text, ModeWrite))
        return;

    {
        Buffer block(kChunk);
        uint32_t remaining = input.Size();
        while (remaining != 0) {
            const uint32_t n = remaining < kChunk ? remaining : kChunk;
            SetLastError(0);
            const uint32_t got = input.Read(block.data, n);
            if (got != 0)
                output.Write(block.data, got);
            remaining -= got;
            if (progress)
                progress(got, user);
            if (got == 0)
                RaiseReadFailure(source);
        }
    }

    // On disk before the times are set, so no late flush moves the last-write
    // time again.
    if (!output.Flush())
        throw OCErrorException("ファイル書込に失敗しました。");
    FILETIME creation = {0, 0}, lastAccess = {0, 0}, lastWrite = {0, 0};
    input.GetTimes(&creation, &lastAccess, &lastWrite);
    output.SetTimes(&creation, &lastAccess, &lastWrite);
    output.Close();

    // An entry inside an archive has no attributes of its own (and the
    // archive's are not the entry's): the target keeps them as created.
    DWORD attributes = kKeepAttributes;
    if (attributeMask != kKeepAttributes && !input.inArchive && !input.path.IsEmpty()) {
        const DWORD sourceAttributes = GetFileAttributesA(input.path.text);
        if (sourceAttributes != INVALID_FILE_ATTRIBUTES) {
            attributes = attributeMask & sourceAttributes;
            if (attributes == 0)
                attributes = FILE_ATTRIBUTE_NORMAL;
        }
    }
    input.Close();
    // Read-only on the temporary file would make Windows refuse the rename;
    // it is set on the target once the rename is done.
    if (attributes != kKeepAttributes) {
        DWORD first = attributes & ~DWORD(FILE_ATTRIBUTE_READONLY);
        SetFileAttributesA(temporary.path.text, first ? first : FILE_ATTRIBUTE_NORMAL);
    }

    if (!Replace(temporary, target))
        return;
    SetTimesByPath(target, creation, lastAccess, lastWrite);
    if (attributes != kKeepAttributes && (attributes & FILE_ATTRIBUTE_READONLY))
        SetFileAttributesA(target, attributes);
}
