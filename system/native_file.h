#pragma once
// Opening a file or folder by its name, and the renames and deletes that go
// with it: each kind of open is named by what it is for, its access, sharing
// and flags stated once, in the table in native_file.cpp, and the system's
// calls are made here, not by the callers.
//
// A file is named by a FilePlace: a path, a name in a folder, or a name in
// a folder the caller holds open. Below a held folder every step goes
// relative to its handle (NtCreateFile with a RootDirectory; renames and
// links through NtSetInformationFile with one), so that no name on the way
// is looked up again: a folder swapped for a link meanwhile is not
// followed. A delete there is checked to have removed the name.
//
// Failures return false (or a FileRead that says what went wrong) with the
// system's error in GetLastError, as the underlying call left it; the
// handle is then empty.

#include <windows.h>
#include <cstdint>
#include <string>
#include <vector>
#include "base/owned.h"
#include "base/progress.h"
#include "system/sha256.h"

class FilePlace {
public:
    // path as the wide calls take it (callers choose its \\?\ form).
    explicit FilePlace(const std::wstring& path);
    // name, a leaf or a path below folder, in folder (the same form).
    FilePlace(const std::wstring& folder, const std::wstring& name);
    // leaf, a single name, in the folder held is open on (folder: its path,
    // for messages); held stays the caller's and must outlive the place.
    FilePlace(HANDLE held, const std::wstring& folder, const std::wstring& leaf);
    virtual ~FilePlace();

    // The whole path: folder, a backslash unless it ends in one, name. For
    // messages, and what the system is given when no folder is held.
    std::wstring Path() const;
    HANDLE Held() const { return held_; }
    const std::wstring& Name() const { return name_; }

private:
    std::wstring folder_;
    std::wstring name_;
    HANDLE held_ = nullptr;
};

// What an open is for.
enum class FileOpen {
    // Reading what nobody writes or removes while it is open (others may
    // read): what is read is what is there. Missing: ERROR_FILE_NOT_FOUND
    // or ERROR_PATH_NOT_FOUND; a folder: ERROR_ACCESS_DENIED.
    Read,
    // Reading beside anyone who writes, renames or removes it: a journal a
    // run may still hold, the tool's own temporary file, a source a
    // publisher's editor holds.
    ReadBesideWriters,
    // Reading as the runtime's reading stream opens a file (read and write
    // shared, delete not): whether the copy's open of a source would succeed.
    ReadAsStream,
    // A new file that stays where it is made (a record, a journal):
    // never truncating, replacing or following what is there, a dangling
    // link included (ERROR_FILE_EXISTS). Written here, read by others.
    CreateNew,
    // The same for a file that is removed through its handle unless it is
    // completed, and may be renamed by name while open (shared for
    // deleting): a file written beside its place, a key file.
    CreateProvisional,
    // An existing file itself, to write more of it: a link there is refused
    // with ERROR_ACCESS_DENIED.
    WriteExisting,
    // An existing file, alone: nobody else may have it open (ERROR_SHARING_VIOLATION).
    WriteAlone,
    // Whether an existing file could be written over and removed now: fails
    // as the final rename would (ERROR_ACCESS_DENIED for a read-only file
    // or a folder, ERROR_SHARING_VIOLATION for one another program holds).
    ProbeReplace,
    // Whether an existing file could be renamed or removed now.
    ProbeMove,
    // A folder itself, never what a link there points to (on Windows),
    // held: it cannot be renamed or removed while the handle is open.
    HoldFolder,
    // A folder through any links, to ask where it lies; holds nothing.
    FollowFolder,
    // As HoldFolder, made first when it is missing (only in a held folder).
    HoldOrMakeFolder,
    // A folder through any links, held as HoldFolder holds one.
    HoldFollowedFolder,
    // A file or folder itself, to remove it (read-only cleared first) or
    // ask whether it is there.
    RemoveItself,
};

// Opens place for how into file. security: the new file's descriptor (for
// CreateNew and CreateProvisional; null: the folder's inherited one).
bool OpenFile(FileOpen how, const FilePlace& place, Handle& file,
              const SECURITY_ATTRIBUTES* security = nullptr);

// Where the system finds what handle is open on, every link resolved (the
// \\?\ form it gives); "" when it cannot tell.
std::wstring FinalPathOf(HANDLE handle);
// The same for the folder at place, followed through links; "" when it
// cannot be opened.
std::wstring FinalPathOf(const FilePlace& place);

// Reads up to n bytes at the file's position: fewer only at its end.
bool ReadUpTo(HANDLE file, void* buffer, uint32_t n, uint32_t& got);

// How a read of a whole file ended.
enum class FileRead {
    Done,
    Missing,     // nothing of that name (ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND)
    Unreadable,  // there, but the open or a read failed (a folder: ERROR_ACCESS_DENIED)
    TooLarge,    // larger than the limit (ERROR_FILE_TOO_LARGE); nothing read
};

// The whole of a small file, opened for how (Read or ReadBesideWriters),
// into bytes; TooLarge above limit and above 4 GiB. A file that ends before
// its size was read is Unreadable with ERROR_HANDLE_EOF.
FileRead ReadWholeFile(const FilePlace& place, uint64_t limit, std::vector<char>& bytes,
                       FileOpen how = FileOpen::Read);

// Reads files to their end and gives their size and SHA-256, with one
// buffer and one hash object for all of them.
class FileDigester {
public:
    FileDigester();
    FileDigester(const FileDigester&) = delete;
    FileDigester& operator=(const FileDigester&) = delete;
    virtual ~FileDigester();

    // The file at place, opened for FileOpen::Read.
    FileRead Digest(const FilePlace& place, uint64_t& size, Sha256::Digest& digest);
    // A file the caller holds open, from its position: at most `most` bytes
    // (size tells how many there were), progress called after each chunk.
    FileRead DigestOpen(HANDLE file, uint64_t most, uint64_t& size, Sha256::Digest& digest,
                        ProgressFunction progress = nullptr, void* user = nullptr);

private:
    std::vector<char> buffer_;
    Sha256 sha_;
};

// Puts what was written to the file at place on disk: opened alone
// (nobody else may have it open), flushed.
bool FlushFileToDisk(const FilePlace& place);

// Gives file (open for deleting, at from) the name to, write-through.
// replace false: an existing file at to stays (ERROR_ALREADY_EXISTS). In a
// held folder the rename goes through file's handle.
bool RenameOpenFile(const Handle& file, const FilePlace& from, const FilePlace& to, bool replace);
// Gives file a second name, to (in a held folder: through its handle);
// an existing name is never replaced (ERROR_ALREADY_EXISTS).
bool LinkOpenFile(const Handle& file, const FilePlace& from, const FilePlace& to);

// Marks file (open for deleting) to be removed when its last handle closes.
bool DeleteOpenFile(const Handle& file);

// Removes the file at place by name (read-only or not); in a held folder,
// a folder too once it is empty. True once the name is gone: under Wine a
// delete in a folder swapped for a link reports success and removes
// nothing, so the name is looked for again.
bool DeleteFileAt(const FilePlace& place);
// Clears the read-only attribute of the file open (RemoveItself) in file.
bool ClearReadOnly(const Handle& file);

// Whether something has the name at place (not followed when it is a link).
bool ExistsAt(const FilePlace& place);

// Whether two handles are open on one file or folder: the same volume and
// file number.
bool SameFileObject(HANDLE a, HANDLE b);
