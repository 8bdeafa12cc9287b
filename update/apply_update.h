#pragma once
// Applying one update file: the source's content, file times and masked
// attributes reach the target. The installed file is never left half-written:
// the copy goes to a temporary file beside the target, which replaces the
// target in one rename only when it is complete and on disk.

#include <cstdint>

// Called after every chunk with the chunk's byte count.
typedef void (*ProgressFunction)(uint32_t bytes, void* user);

// source: opened through ArchiveFile (a plain file or an archive entry).
// target: full path; missing folders on the way are created.
// force 0: an existing target is left untouched.
// attributeMask 0xFFFFFFFF: the target's attributes stay as created; any other
// value: target attributes := mask & source attributes.
// Raises OCErrorException (open aborted, short write, failed read).
void ApplyUpdateFile(const char* source, const char* target, int force,
                     uint32_t attributeMask, ProgressFunction progress, void* user);
