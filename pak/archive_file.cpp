#include "pak/archive_file.h"

#include <cstdlib>
#include <cstring>
#include "base/find_handle.h"
#include "base/multibyte.h"
#include "pak/archive_entry.h"
#include "pak/archive_search.h"
#include "pak/open_failure.h"
#include "paths/paths.h"

int quietOpen = 0;

namespace {

// The first '*' of text, stepping by characters; null when there is none.
const char* FindStar(const char* text)
{
    for (const char* p = text; *p; p = NextChar(p))
        if (*p == '*')
            return p;
    return nullptr;
}

bool NamesSomething(DWORD attributes)
{
    return attributes != INVALID_FILE_ATTRIBUTES && attributes != 0;
}

// Looks sought up in the archives of the current directory.
void SearchCurrentDirectory(ArchiveFile& self, const char* sought)
{
    // The error that made us search (file not found) is what a failed open
    // reports, not whatever the directory scan left behind.
    const DWORD error = GetLastError();
    char directory[512];
    const DWORD length = GetCurrentDirectoryA(sizeof directory, directory);
    if (length == 0 || length >= sizeof directory)
        directory[0] = '\0';
    if (!FindInArchives(self, directory, sought))
        SetLastError(error);
}

}  // namespace

ArchiveFile::ArchiveFile()
    : file(nullptr), path(), name(), compressed(0), position(0), inArchive(false),
      entry(new ArchiveEntry), baseOffset(0), inMemory(false), memory(nullptr),
      memoryCursor(nullptr), memorySize(0), ownsMemory(false)
{
}

ArchiveFile::~ArchiveFile()
{
    delete entry;
    Close();
}

void ArchiveFile::Close()
{
    if (file) {
        fflush(file);
        fclose(file);
        file = nullptr;
        path.Clear();
    }
    if (ownsMemory)
        free(memory);
    memory = nullptr;
    memoryCursor = nullptr;
    memorySize = 0;
    ownsMemory = false;
    inMemory = false;
    inArchive = false;
    compressed = 0;
    baseOffset = 0;
    position = 0;
}

bool ArchiveFile::Open(const char* pathArgument, int mode)
{
    Close();
    const char* streamMode = "rb";
    bool writes = false;
    switch (mode & 3) {
    case ModeWrite: streamMode = "w+b"; writes = true; break;
    case ModeAppend: streamMode = "a+b"; writes = true; break;
    default: break;
    }
    inMemory = false;
    // Our own copy: the caller may pass a text this object is about to change.
    String argument;
    argument.Assign(pathArgument);
    const char* arg = argument.text ? argument.text : "";

    for (;;) {
        path.Assign(argument);
        // Every attempt, a retry included, starts again from the argument, so
        // a retried wildcard open enumerates its pattern again.
        if (const char* star = FindStar(arg)) {
            bool matched = false;
            FindHandle find(arg);
            if (find.Valid()) {
                do {
                    if (find.found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                        continue;
                    FilePath pattern;
                    pattern.SetPath(arg);
                    String directory;
                    pattern.DirectoryPart(directory);
                    path.Format("%s\\%s", TextOf(directory), find.found.cFileName);
                    name.Assign(path);
                    file = fopen(path.text, streamMode);
                    inArchive = false;
                    baseOffset = 0;
                    compressed = 0;
                    matched = true;
                    break;
                } while (find.Next());
            }
            // No archive holds data for a write: a missing file is created,
            // never looked up.
            if (!matched && !writes) {
                String prefix;
                argument.CopyRange(prefix, arg, star);
                SearchCurrentDirectory(*this, prefix.text ? prefix.text : "");
            }
        } else {
            const DWORD attributes = GetFileAttributesA(arg);
            if (NamesSomething(attributes) || writes) {
                // Something already there has its folder; only a file about
                // to be created may need one.
                const char* last = NamesSomething(attributes) ? nullptr : LastSeparator(arg);
                if (last && last != arg) {
                    String directory;
                    directory.Assign(arg, int32_t(last - arg));
                    if (!NamesSomething(GetFileAttributesA(directory.text)))
                        CreateDirectories(directory.text);
                }
                name.Assign(argument);
                file = fopen(arg, streamMode);
                inArchive = false;
                baseOffset = 0;
                compressed = 0;
            } else {
                SearchCurrentDirectory(*this, arg);
            }
        }
        if (file)
            break;
        if (quietOpen && !writes)
            break;
        if (!HandleOpenFailure(arg))
            break;
    }
    position = 0;
    if (inMemory)
        memoryCursor = memory;
    return file != nullptr;
}

uint32_t ArchiveFile::Size()
{
    return uint32_t(Size64());
}

uint64_t ArchiveFile::Size64()
{
    if (inMemory)
        return memorySize;
    if (inArchive)
        return entry->size;
    if (!file)
        return 0;
    const int64_t here = _ftelli64(file);
    _fseeki64(file, 0, SEEK_END);
    const int64_t end = _ftelli64(file);
    Seek(uint64_t(here));
    return end > 0 ? uint64_t(end) : 0;
}

void ArchiveFile::Seek(uint64_t offset)
{
    if (inMemory) {
        if (offset > memorySize)
            offset = memorySize;
        position = offset;
        memoryCursor = memory + offset;
    } else if (file && baseOffset) {
        position = offset;
        _fseeki64(file, int64_t(baseOffset + offset), SEEK_SET);
    } else if (file) {
        _fseeki64(file, int64_t(offset), SEEK_SET);
        position = uint64_t(_ftelli64(file));
    }
}

uint32_t ArchiveFile::Read(void* buffer, uint32_t n)
{
    if (inMemory) {
        const uint32_t left = memorySize - uint32_t(memoryCursor - memory);
        if (n > left)
            n = left;
        if (n) {
            std::memcpy(buffer, memoryCursor, n);
            memoryCursor += n;
            position += n;
        }
        return n;
    }
    if (file) {
        const size_t got = fread(buffer, 1, n, file);
        position += got;
        return uint32_t(got);
    }
    return 0;
}

void ArchiveFile::AttachMemory(void* block, uint32_t size, bool owns)
{
    if (ownsMemory && memory != block)
        free(memory);
    memory = static_cast<unsigned char*>(block);
    memoryCursor = memory;
    memorySize = block ? size : 0;
    ownsMemory = owns;
    inMemory = true;
    position = 0;
}
