#pragma once
// Applying one update file: the source's content, file times and masked
// attributes reach the target. The installed file is never left half-written:
// the copy goes to a temporary file beside the target, which replaces the
// target in one rename only when it is complete and on disk.

#include <windows.h>
#include <cstdint>
#include <string>
#include "base/progress.h"
#include "system/sha256.h"
#include "paths/temporary_file.h"

// force: what happens to a target that exists.
enum : int {
    kKeepExisting = 0,    // left untouched
    kReplaceExisting = 1, // replaced
};

// attributeMask values.
const uint32_t kKeepCreatedAttributes = 0xFFFFFFFFu;  // the target's as created
const uint32_t kNoReadOnly = 0xFFFFFFFEu;  // the source's, read-only left out


// source: a name of the product's in code page 932, opened through
// ArchiveFile (a plain file or an archive entry).
// target: full path, UTF-16 (at any length); missing folders on the way are
// created.
// force: kKeepExisting or kReplaceExisting.
// attributeMask kKeepCreatedAttributes: the target's attributes stay as
// created; any other value: target attributes := mask & source attributes.
// Raises OCErrorException (open aborted, short write, failed read).
void ApplyUpdateFile(const char* source, const std::wstring& target, int force,
                     uint32_t attributeMask, ProgressFunction progress, void* user);

// Applying in two steps, for updates that put many files in place at once.

// Where a copy is made and where it goes: through the run's held folders
// (paths/folder_guard.h) where they are held, by path otherwise.
class CopyPlaces {
public:
    std::wstring folder;                // the copy's folder; "": beside the target
    HANDLE heldFolder = nullptr;        // that folder's handle, when held
    HANDLE heldTargetFolder = nullptr;  // the target's folder's, when held

    virtual ~CopyPlaces() {}
};

// One copy written and flushed beside its target, not yet in its place.
class PreparedCopy {
public:
    std::wstring target;
    HANDLE heldTargetFolder;  // the target's folder's handle, when held
    TemporaryFile file;     // the new bytes, open, under a name of their own
    bool timesKnown;
    FILE_BASIC_INFO times;  // the source's
    DWORD attributes;       // to give the target; 0: as created
    uint64_t bytes;         // written

    PreparedCopy();
    virtual ~PreparedCopy();

    // The source's times and the attributes, set through the file's handle.
    void SetTimesAndAttributes();
    // Where the target lies, through its held folder when it is held.
    FilePlace TargetPlace() const;
};

// ApplyUpdateFile up to the copy's place: the source is written into a new
// file named <prefix>XXXX.tmp in places.folder ("": beside the target; else
// a folder on the target's volume, made when missing), asking as ApplyUpdateFile
// does, and flushed. False when there is nothing to put in place: Ignore at
// a prompt, an existing target kept (kKeepExisting), or the target being
// the source itself. Raises what ApplyUpdateFile raises.
// held: when not null, the source is this file the caller opened and holds
// (ArchiveFile::OpenHeld), never opened again by name. mustMatch: when not
// null, the SHA-256 the bytes copied must have; other bytes raise
// OCErrorException "ファイル <source> が壊れているか、書き換えられています。"
// (ERROR_FILE_CORRUPT) before anything takes the target's place.
bool PrepareUpdateFile(const char* source, const std::wstring& target, int force,
                       uint32_t attributeMask, ProgressFunction progress, void* user,
                       const CopyPlaces& places, const wchar_t* prefix, PreparedCopy& copy,
                       HANDLE held = nullptr, const Sha256::Digest* mustMatch = nullptr);

// The copy takes its target's place in one rename (locks waited out, then
// the user asked as an open does), then gets its times and attributes.
// False when the user chose Ignore; Abort raises.
bool PutInPlace(PreparedCopy& copy);
