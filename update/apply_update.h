#pragma once
// Applying one update file: the source's content, file times and masked
// attributes reach the target. The installed file is never left half-written:
// the copy goes to a temporary file beside the target, which replaces the
// target in one rename only when it is complete and on disk.

#include <cstdint>
#include <string>

// force: what happens to a target that exists.
enum : int {
    kKeepExisting = 0,    // left untouched
    kReplaceExisting = 1, // replaced
};

// attributeMask values.
const uint32_t kKeepCreatedAttributes = 0xFFFFFFFFu;  // the target's as created
const uint32_t kNoReadOnly = 0xFFFFFFFEu;  // the source's, read-only left out

// Called after every chunk with the chunk's byte count.
typedef void (*ProgressFunction)(uint32_t bytes, void* user);

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
