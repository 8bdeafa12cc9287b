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
#include "paths/paths.h"

namespace {

const uint32_t kChunk = 0x10000;

// Antivirus scanners and indexers hold a freshly written file for a moment;
// such a lock is waited out briefly (10 + 20 + 40 + 80 ms) before the user
// is asked.
const int kTransientTries = 4;
const DWORD kFirstDelayMs = 10;

// The longest path the system's ANSI calls take without the \\?\ form.
const size_t kPlainPathLimit = MAX_PATH - 1;

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

// folder in the \\?\ form, which the system's calls take at any length:
// a full path without . or .. parts; \\server\share becomes \\?\UNC\server\share.
bool LongForm(const char* folder, String& result)
{
    std::vector<char> full(32768);
    const DWORD length = GetFullPathNameA(folder, DWORD(full.size()), full.data(), nullptr);
    if (length == 0 || length >= full.size())
        return false;
    const char* text = full.data();
    if (text[0] == '\\' && text[1] == '\\') {
        if (text[2] == '?' || text[2] == '.')
            result.Assign(text);  // already in a device form
        else
            result.Format("\\\\?\\UNC\\%s", text + 2);
    } else {
        result.Format("\\\\?\\%s", text);
    }
    return true;
}

// text (ANSI code page) as a wide text, for the calls that take long paths.
bool Wide(const char* text, std::vector<wchar_t>& wide)
{
    const int count = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (count <= 0)
        return false;
    wide.resize(size_t(count));
    return MultiByteToWideChar(CP_ACP, 0, text, -1, wide.data(), count) == count;
}

// What to do after a failed attempt on the target: a transient lock is
// waited out a few times with a growing delay; anything else goes to the user.
class Attempts {
public:
    // accessDeniedPasses: "access denied" may be a lock too. A rename over a
    // file another program holds (even one that shares deleting) and a new
    // name a scanner is looking at are refused that way.
    Attempts(const char* target, bool accessDeniedPasses)
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
    const char* target_;
    bool accessDeniedPasses_;
    int tries_;
    DWORD delay_;
};

// The copy, written beside the target under a name of its own and held open
// from creation to the end: renamed over the target through the same handle
// when complete, and otherwise removed, also while an exception passes.
class TemporaryFile {
public:
    Handle handle;
    std::vector<wchar_t> path;  // the \\?\ form when the plain one would be too long
    bool committed;

    TemporaryFile() : committed(false) {}
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    virtual ~TemporaryFile() { Discard(); }

    // Creates a new file in folder. False with the system's error.
    bool Create(const String& folder)
    {
        Discard();
        String base;
        const int32_t folderLength = lstrlenA(folder.text);
        // The name's room: backslash, "upd", four digits, ".tmp". Beyond
        // MAX_PATH only the wide calls take the \\?\ form.
        if (size_t(folderLength) + 12 > kPlainPathLimit) {
            if (!LongForm(folder.text, base))
                return false;
        } else {
            base.Assign(folder);
        }
        const bool endsWithSeparator = EndsWithSeparator(base.text);
        static unsigned counter = GetTickCount() ^ GetCurrentProcessId();
        for (int tries = 0; tries < 0x10000; ++tries) {
            String name;
            name.Format(endsWithSeparator ? "%supd%04X.tmp" : "%s\\upd%04X.tmp", base.text,
                        ++counter & 0xFFFF);
            if (!Wide(name.text, path))
                return false;
            handle.Reset(CreateFileW(path.data(), GENERIC_WRITE | DELETE,
                                     FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
            if (handle.Valid())
                return true;
            if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS)
                break;
        }
        const DWORD error = GetLastError();
        path.clear();
        SetLastError(error);
        return false;
    }

    // Raises "ファイル書込に失敗しました。" when the file takes fewer bytes.
    void Write(const void* bytes, uint32_t n)
    {
        DWORD written = 0;
        if (!WriteFile(handle.Get(), bytes, n, &written, nullptr) || written != n) {
            if (GetLastError() == 0)
                SetLastError(ERROR_DISK_FULL);
            throw OCErrorException("ファイル書込に失敗しました。");
        }
    }

    bool Flush() { return FlushFileBuffers(handle.Get()) != 0; }

    // Takes target's place. The handle stays open (it shares deleting, so
    // the rename may move the file under it) and is used afterwards to set
    // the times and attributes without opening the target again.
    bool RenameOver(const char* target)
    {
        std::vector<wchar_t> wideTarget;
        if (!Wide(target, wideTarget) ||
            !MoveFileExW(path.data(), wideTarget.data(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return false;
        committed = true;
        return true;
    }

    // The source's times, and attributes (0: as they are).
    void Finish(const FILE_BASIC_INFO& source, DWORD attributes)
    {
        FILE_BASIC_INFO basic = {};
        basic.CreationTime = source.CreationTime;
        basic.LastAccessTime = source.LastAccessTime;
        basic.LastWriteTime = source.LastWriteTime;
        // Read-only last: once it is set, Wine can no longer store the
        // other attributes.
        const DWORD others = attributes & ~DWORD(FILE_ATTRIBUTE_READONLY);
        basic.FileAttributes = others ? others : (attributes ? FILE_ATTRIBUTE_NORMAL : 0);
        SetFileInformationByHandle(handle.Get(), FileBasicInfo, &basic, sizeof basic);
        if (attributes & FILE_ATTRIBUTE_READONLY) {
            FILE_BASIC_INFO readOnly = {};
            readOnly.FileAttributes = attributes;
            SetFileInformationByHandle(handle.Get(), FileBasicInfo, &readOnly, sizeof readOnly);
        }
    }

    void Close() { handle.Reset(); }

    // Removes an uncommitted file: through the handle; failing that by name;
    // failing that (another program holds it), at the next restart, so that
    // no copy is left behind for good.
    void Discard()
    {
        if (committed || !handle.Valid()) {
            Close();
            return;
        }
        FILE_DISPOSITION_INFO disposition = {TRUE};
        SetFileInformationByHandle(handle.Get(), FileDispositionInfo, &disposition, sizeof disposition);
        Close();
        if (GetFileAttributesW(path.data()) != INVALID_FILE_ATTRIBUTES) {
            SetFileAttributesW(path.data(), FILE_ATTRIBUTE_NORMAL);
            if (!DeleteFileW(path.data()))
                MoveFileExW(path.data(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
        }
        path.clear();
    }
};

// What lies at target, and whether it could be replaced now: attributes
// (INVALID_FILE_ATTRIBUTES when nothing is there) and 0, or the error Windows
// would give. One open for writing and deleting answers both in the usual
// case; it fails the way the final rename would when another program holds
// the file. Wine lets a rename replace a read-only file, so that attribute
// is checked here as Windows would refuse it.
DWORD ProbeTarget(const char* target, DWORD& attributes)
{
    const Handle handle(CreateFileA(target, GENERIC_WRITE | DELETE | FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (handle.Valid()) {
        FILE_BASIC_INFO information;
        attributes = GetFileInformationByHandleEx(handle.Get(), FileBasicInfo, &information,
                                                  sizeof information)
                         ? information.FileAttributes
                         : GetFileAttributesA(target);
        return attributes & FILE_ATTRIBUTE_READONLY ? ERROR_ACCESS_DENIED : 0;
    }
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
        attributes = INVALID_FILE_ATTRIBUTES;
        return 0;
    }
    // Read-only, a folder, or held by another program.
    attributes = GetFileAttributesA(target);
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
bool PrepareReplacement(const char* target, DWORD probed, TemporaryFile& temporary)
{
    String folder;
    TargetFolder(target, folder);
    Attempts locked(target, false);
    Attempts creating(target, true);
    for (;;) {
        DWORD error = probed;
        if (error == 0) {
            if (temporary.Create(folder))
                return true;
            error = GetLastError();
            if (error == ERROR_PATH_NOT_FOUND) {
                CreateDirectories(folder.text);
                if (temporary.Create(folder))
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
bool Replace(TemporaryFile& temporary, const char* target)
{
    Attempts attempts(target, true);
    for (;;) {
        if (temporary.RenameOver(target))
            return true;
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

void ApplyUpdateFile(const char* source, const char* target, int force,
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
        temporary.Finish(original, attributes);
    temporary.Close();
}
