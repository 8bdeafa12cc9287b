#include "pak/archive_file.h"

#include <cstdlib>
#include <cstring>
#include "base/multibyte.h"
#include "base/text_932.h"
#include "pak/archive_entry.h"
#include "pak/archive_search.h"
#include "paths/open_failure.h"
#include "paths/folder_listing.h"
#include "paths/wide_paths.h"

int quietOpen = 0;

namespace {

bool NamesSomething(DWORD attributes)
{
    return attributes != INVALID_FILE_ATTRIBUTES && attributes != 0;
}

// Looks sought (code page 932; null: a name no entry can have) up in the
// archives of the current folder.
void SearchCurrentFolder(ArchiveFile& self, const char* sought)
{
    // The error that made us search (file not found) is what a failed open
    // reports, not whatever the folder scan left behind.
    const DWORD error = GetLastError();
    if (sought == nullptr || !FindInArchives(self, CurrentFolder(), sought))
        SetLastError(error);
}

// The first '*' of a code page 932 name, stepping by characters.
const char* FindStar(const char* text)
{
    for (const char* p = text; *p; p = NextChar(p))
        if (*p == '*')
            return p;
    return nullptr;
}

FILE* OpenStream(const std::wstring& path, const wchar_t* mode)
{
    return _wfopen(LongPathForm(path).c_str(), mode);
}

void OpenedPlain(ArchiveFile& self, const std::wstring& path, const wchar_t* mode)
{
    self.file = OpenStream(path, mode);
    self.inArchive = false;
    self.baseOffset = 0;
    self.compressed = 0;
}

// A name with a '*': the first file (never a folder) the pattern matches.
// When none does, a read looks the text before the '*' up in the archives;
// no archive holds data for a write, whose missing file is created.
void OpenFirstMatch(ArchiveFile& self, const std::wstring& argument, const char* lookup,
                    const wchar_t* mode, bool writes)
{
    for (FolderListing list(argument); list.Next();) {
        if (list.IsFolder())
            continue;
        FilePath pattern;
        pattern.SetPath(argument);
        std::wstring directory;
        pattern.DirectoryPart(directory);
        self.path = directory + L"\\" + list.Name();
        ShownIn932(self.path, self.name);
        OpenedPlain(self, self.path, mode);
        return;
    }
    if (writes)
        return;
    // The name's own '*' may not be where the conversion put one (a lead
    // byte before it): then the whole name is sought.
    String prefix;
    const char* lookupStar = lookup ? FindStar(lookup) : nullptr;
    if (lookup)
        prefix.Assign(lookup, lookupStar ? int32_t(lookupStar - lookup) : -1);
    SearchCurrentFolder(self, lookup ? TextOf(prefix) : nullptr);
}

// A plain path: the file when something of that name is there or it is to
// be written, else the entry of that name in the current folder's archives.
void OpenPlainOrEntry(ArchiveFile& self, const std::wstring& argument, const String* lookupName,
                      const wchar_t* mode, bool writes)
{
    const DWORD attributes = GetFileAttributesW(LongPathForm(argument).c_str());
    if (!NamesSomething(attributes) && !writes) {
        SearchCurrentFolder(self, lookupName ? TextOf(*lookupName) : nullptr);
        return;
    }
    // Something already there has its folder; only a file about to be
    // created may need one.
    const std::wstring directory = NamesSomething(attributes) ? std::wstring() : FolderOf(argument);
    if (!directory.empty() && !NamesSomething(GetFileAttributesW(LongPathForm(directory).c_str())))
        CreateDirectories(directory);
    if (lookupName)
        self.name.Assign(*lookupName);
    else
        ShownIn932(argument, self.name);
    OpenedPlain(self, argument, mode);
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
    sharesPosition = false;
    if (file) {
        fflush(file);
        fclose(file);
        file = nullptr;
        path.clear();
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
    // Our own copy: the caller may pass a text this object is about to change.
    String argument;
    argument.Assign(pathArgument);
    return OpenNamed(WideFrom932(argument), &argument, mode);
}

bool ArchiveFile::Open(const std::wstring& pathArgument, int mode)
{
    const std::wstring argument = pathArgument;
    String lookupName;
    return OpenNamed(argument, ExactlyTo932(argument, lookupName) ? &lookupName : nullptr, mode);
}

bool ArchiveFile::OpenNamed(const std::wstring& argument, const String* lookupName, int mode)
{
    Close();
    const wchar_t* streamMode = L"rb";
    bool writes = false;
    switch (mode & 3) {
    case ModeWrite: streamMode = L"w+b"; writes = true; break;
    case ModeAppend: streamMode = L"a+b"; writes = true; break;
    default: break;
    }
    inMemory = false;
    const char* lookup = lookupName ? TextOf(*lookupName) : nullptr;

    for (;;) {
        path = argument;
        // Every attempt, a retry included, starts again from the argument, so
        // a retried wildcard open enumerates its pattern again.
        if (argument.find(L'*') != std::wstring::npos)
            OpenFirstMatch(*this, argument, lookup, streamMode, writes);
        else
            OpenPlainOrEntry(*this, argument, lookupName, streamMode, writes);
        if (file)
            break;
        if (quietOpen && !writes)
            break;
        if (!HandleOpenFailure(argument))
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
    const int64_t here = sharesPosition ? int64_t(position) : _ftelli64(file);
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
        // A held file's streams share one position with its holder and each
        // other: each read starts where this stream is.
        if (sharesPosition)
            _fseeki64(file, int64_t(position), SEEK_SET);
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
