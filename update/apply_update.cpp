#include "update/apply_update.h"

#include <windows.h>
#include <io.h>

#include <memory>
#include <vector>

#include "base/buffer.h"
#include "base/exceptions.h"
#include "base/messages.h"
#include "base/owned.h"
#include "system/run_log.h"
#include "base/string.h"
#include "base/text_932.h"
#include "pak/archive_file.h"
#include "paths/wide_paths.h"
#include "paths/lock_retry.h"
#include "paths/target_probe.h"

namespace {

const uint32_t kChunk = 0x10000;

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

// Makes sure the target can be replaced and creates the temporary file in its
// folder (and the folder, when it is missing). Asks the user as an open does
// when either fails, naming the target. False when the user chose Ignore;
// Abort raises.
bool PrepareReplacement(const std::wstring& target, DWORD probed, const CopyPlaces& places,
                        const wchar_t* prefix, TemporaryFile& temporary)
{
    const std::wstring folder = places.folder.empty() ? ContainingFolder(target) : places.folder;
    const HANDLE held = places.folder.empty() ? places.heldTargetFolder : places.heldFolder;
    LockRetry locked(target, false);
    LockRetry creating(target, true);
    for (;;) {
        DWORD error = probed;
        if (error == 0) {
            if (temporary.Create(folder, prefix, held))
                return true;
            error = GetLastError();
            if (error == ERROR_PATH_NOT_FOUND && !held) {
                CreateDirectories(folder);
                if (temporary.Create(folder, prefix))
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
bool Replace(TemporaryFile& temporary, const std::wstring& target, const FilePlace& place)
{
    LockRetry attempts(target, true);
    for (;;) {
        if (temporary.RenameOver(place, true))
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
    return source.file && !source.inArchive && NamesSameFile(source.path, target);
}

[[noreturn]] void RaiseReadFailure(const char* source, DWORD error)
{
    // A read that stops short without an error of its own (the file shrank)
    // still needs a code that says why.
    String message;
    message.Format(kReadFailedText, source);
    LogFailure("reading", WideFrom932(source), error ? error : ERROR_HANDLE_EOF);
    SetLastError(error ? error : ERROR_HANDLE_EOF);
    throw OCErrorException(message.text);
}

}  // namespace

PreparedCopy::PreparedCopy() : heldTargetFolder(nullptr), timesKnown(false), times(), attributes(0), bytes(0) {}

FilePlace PreparedCopy::TargetPlace() const
{
    return heldTargetFolder ? FilePlace(heldTargetFolder, ContainingFolder(target), LeafOf(target))
                            : FilePlace(LongPathForm(target));
}

PreparedCopy::~PreparedCopy() {}

void PreparedCopy::SetTimesAndAttributes()
{
    if (timesKnown)
        FinishTimesAndAttributes(file.Get(), times, attributes);
}

bool PrepareUpdateFile(const char* source, const std::wstring& target, int force,
                       uint32_t attributeMask, ProgressFunction progress, void* user,
                       const CopyPlaces& places, const wchar_t* prefix, PreparedCopy& copy,
                       HANDLE held, const Sha256::Digest* mustMatch)
{
    copy.target = target;
    copy.heldTargetFolder = places.heldTargetFolder;
    ArchiveFile input;
    // Ignore at the source's prompt: nothing to copy, so the installed file is
    // left alone rather than emptied.
    if (held ? !input.OpenHeld(held, WideFrom932(source)) : !input.Open(source, ModeRead))
        return false;

    DWORD existing = INVALID_FILE_ATTRIBUTES;
    const DWORD probed = ProbeTarget(target, existing);
    if (existing != INVALID_FILE_ATTRIBUTES && existing != 0 && force == kKeepExisting)
        return false;
    if (existing != INVALID_FILE_ATTRIBUTES && IsSameFile(input, target))
        return false;

    // The target is never written in place: a failure half-way would leave the
    // installed program truncated. The copy goes to a temporary file in the
    // same folder (same volume, so the final rename is atomic).
    if (!PrepareReplacement(target, probed, places, prefix, copy.file))
        return false;

    {
        Buffer block(kChunk);
        std::unique_ptr<Sha256> hash(mustMatch ? new Sha256 : nullptr);
        // 64 bits: a source of 4 GiB or more is copied whole.
        uint64_t remaining = input.Size64();
        while (remaining != 0) {
            const uint32_t n = remaining < kChunk ? uint32_t(remaining) : kChunk;
            SetLastError(0);
            const uint32_t got = input.Read(block.data, n);
            // Taken before the progress function runs: it may change it.
            const DWORD readError = got == 0 ? GetLastError() : 0;
            if (got != 0)
                copy.file.Write(block.data, got);
            if (hash)
                hash->Add(block.data, got);
            copy.bytes += got;
            remaining -= got;
            if (progress)
                progress(got, user);
            if (got == 0)
                RaiseReadFailure(source, readError);
        }
        Sha256::Digest digest;
        if (hash && (hash->Finish(digest), digest != *mustMatch)) {
            String message;
            message.Format(kFileAlteredText, source);
            LogEvent("not the bytes checked: " + LogText932(source));
            SetLastError(ERROR_FILE_CORRUPT);
            throw OCErrorException(message.text);
        }
    }

    // On disk before it replaces the target, so a crash never leaves a
    // target whose new bytes were still in the cache.
    if (!copy.file.Flush()) {
        LogFailure("FlushFileBuffers", copy.file.Path(), GetLastError());
        throw OCErrorException(kWriteFailedText);
    }
    // The source's times and attributes in one query by handle, without a
    // second look-up of its path, and without local-time conversions that
    // could only lose what is stored. (The query that also asks for the
    // volume's serial number costs Wine several milliseconds.) For an
    // entry inside an archive these are the archive's.
    HANDLE stream = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(input.file)));
    copy.timesKnown =
        GetFileInformationByHandleEx(stream, FileBasicInfo, &copy.times, sizeof copy.times) != 0;
    // An entry has no attributes of its own (and the archive's are not the
    // entry's): the target keeps them as created.
    copy.attributes = 0;
    if (copy.timesKnown && attributeMask != kKeepCreatedAttributes && !input.inArchive) {
        copy.attributes = attributeMask & copy.times.FileAttributes;
        if (copy.attributes == 0)
            copy.attributes = FILE_ATTRIBUTE_NORMAL;
    }
    return true;
}

bool PutInPlace(PreparedCopy& copy)
{
    if (!Replace(copy.file, copy.target, copy.TargetPlace()))
        return false;
    // After the rename: Windows' name tunnelling would otherwise give the
    // file the replaced one's creation time. Read-only is set only now, as a
    // read-only file could not have been renamed over the target.
    copy.SetTimesAndAttributes();
    copy.file.Close();
    return true;
}

void ApplyUpdateFile(const char* source, const std::wstring& target, int force,
                     uint32_t attributeMask, ProgressFunction progress, void* user)
{
    PreparedCopy copy;
    if (PrepareUpdateFile(source, target, force, attributeMask, progress, user, CopyPlaces(),
                          kUpdaterPrefix, copy))
        PutInPlace(copy);
}
