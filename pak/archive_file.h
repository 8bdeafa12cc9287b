#pragma once
// ArchiveFile: the one file object. Opened for reading, a path that names an
// existing file opens it; a path that names nothing is looked up as an entry
// of the .pak archives in the current directory, so archive data reads like
// a plain file (a compressed entry is inflated into memory on open). Opened
// for writing it always works on a plain file, creating missing directories.
// The product never writes through it: a file written in place would be left
// half-written under its final name; it writes a TemporaryFile and renames it.
//
// A failed open asks the program's open-failure handler (open_failure.h)
// whether to try again, unless quietOpen is set and the open is read-only;
// the handler may raise to abort.

#include <cstdint>
#include <cstdio>
#include <string>
#include <windows.h>
#include "base/string.h"

class ArchiveEntry;

// Open modes: the low two bits of the mode argument; 3 reads like 0.
enum : int {
    ModeRead = 0,    // "rb"
    // Kept as the fixed reference design names it; no product path opens with it.
    ModeWrite = 1,   // "w+b": creates or truncates
    // Kept as the fixed reference design names it; no product path opens with it.
    ModeAppend = 2,  // "a+b"
};

// Process-wide: while set, a read-only open that finds nothing returns false
// without asking the handler.
extern int quietOpen;

// Sets quietOpen for its life and puts back the value it found, however the
// scope is left: a failure raised on the way must not leave later opens
// without their prompt, nor a caller that opens quietly with one.
class QuietOpen {
public:
    QuietOpen() : previous_(quietOpen) { quietOpen = 1; }
    QuietOpen(const QuietOpen&) = delete;
    QuietOpen& operator=(const QuietOpen&) = delete;
    virtual ~QuietOpen() { quietOpen = previous_; }

private:
    int previous_;
};

class ArchiveFile {
public:
    FILE* file;             // the plain file or the archive holding the entry
    std::wstring path;      // what the stream was opened on
    String name;            // the argument, the wildcard match or entry name
                            // (code page 932; as far as it goes for a path)
    uint32_t compressed;    // the entry's compressed word; 0 for plain files
    uint64_t position;      // from the start of the object's data
    bool inArchive;
    ArchiveEntry* entry;    // filled by the archive search; never null
    uint64_t baseOffset;    // archive offset of a raw entry's data, else 0
    bool inMemory;          // reads and writes are served from memory
    unsigned char* memory;
    unsigned char* memoryCursor;
    uint32_t memorySize;    // length of the memory block; bounds every access
    bool ownsMemory;        // Close frees the memory block
    bool sharesPosition = false;  // OpenHeld: every read seeks to position first

    ArchiveFile();
    ArchiveFile(const ArchiveFile&) = delete;
    ArchiveFile& operator=(const ArchiveFile&) = delete;
    virtual ~ArchiveFile();

    // Closes, then opens what path names (wildcard, plain path, archive entry)
    // with mode; asks the handler on failure as described above. True when a
    // stream is held afterwards; position is 0.
    // path: a name of the product's, in code page 932 (update.ini, an item);
    // looked up in the archives by exactly these bytes.
    bool Open(const char* path, int mode);
    // path: from the system or built from such a path, in UTF-16; looked up
    // in the archives by its code page 932 form, when it has one.
    bool Open(const std::wstring& path, int mode);
    // Reads the very file held is open on (a plain file the caller opened
    // and holds, never looked up again by name), from its start; path: how
    // it is named. Streams of one held file share its position, so each
    // read seeks first. False (the system's error) when it cannot be
    // opened; nothing is prompted.
    bool OpenHeld(HANDLE held, const std::wstring& path);

    // Flushes and closes the stream, frees an owned memory block; closing a
    // closed object does nothing.
    void Close();

    // Length of the object's data: the entry's size for an entry, the file's
    // length for a plain file (its position kept), 0 when nothing is open.
    uint32_t Size();
    // The same length, whole: a plain file of 4 GiB or more, whose Size is
    // cut to 32 bits, keeps its full length here. Copies use this one.
    uint64_t Size64();

    // Position counted from the start of the object's data.
    void Seek(uint64_t offset);

    // Copies up to n bytes from the position; returns the count copied. In
    // memory mode never past the block's end (a short count there).
    uint32_t Read(void* buffer, uint32_t n);

    // Writes n bytes at the position. A stream that takes fewer raises
    // OCErrorException "ファイル書込に失敗しました。". In memory mode a write stops
    // at the block's end. Nothing open: nothing happens.
    // Kept as the fixed reference design names it; no product path calls it.
    void Write(const void* buffer, uint32_t n);

    // Writes buffered bytes out and asks the system to put them on disk.
    // True on success or when nothing is open.
    // Kept as the fixed reference design names it; no product path calls it.
    bool Flush();

    // The stream's three times as local file times; always true. Closed:
    // the outputs are untouched.
    // Kept as the fixed reference design names it; no product path calls it.
    bool GetTimes(FILETIME* creation, FILETIME* lastAccess, FILETIME* lastWrite);
    // Sets the three local times on the stream's file; true when closed.
    // Kept as the fixed reference design names it; no product path calls it.
    bool SetTimes(const FILETIME* creation, const FILETIME* lastAccess,
                  const FILETIME* lastWrite);

    // Inflates packedSize bytes of one zlib stream, read from the position,
    // into output (room for capacity bytes); returns the bytes inflated.
    // Raises OCErrorException "データ解凍に失敗しました。" on any failure.
    // streamLength, when given, receives how many of the packed bytes the
    // stream took (bytes behind its end are ignored).
    uint32_t Decompress(uint32_t packedSize, void* output, uint32_t capacity,
                        uint32_t* streamLength = nullptr);

    // Serves reads from block (size bytes) instead of a stream; owns: Close
    // frees it with free().
    void AttachMemory(void* block, uint32_t size, bool owns);

private:
    // lookupName: the code page 932 name the archives are searched for; null
    // when the path has none (no entry can then match).
    bool OpenNamed(const std::wstring& argument, const String* lookupName, int mode);
};

