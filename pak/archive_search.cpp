// The .pak archive format (read only; this system never writes archives).
//
// Every integer is an unsigned 32-bit little-endian word; there is no magic,
// checksum, padding or alignment.
//
// Header:
//   0   version          0, 1 or 2
//   4   count            entries in the index
//   8   indexSize        v1/v2: index length after inflating
//   12  packedIndexSize  v1/v2: index length as stored (one zlib stream)
//   16  revision         v2: revision of the contents (signed decimal text)
//   20  extra[256]       v2: not interpreted
// Header length: 8 (v0), 16 (v1), 276 (v2).
//
// Version 0: `count` plain entries from offset 8, each
//   u32 nameLength, name bytes (no terminator), u32 offset (absolute in the
//   file), u32 unused, u32 size
// and raw data anywhere behind the index.
//
// Versions 1 and 2: the packed index (packedIndexSize bytes, RFC 1950)
// follows the header and inflates to indexSize bytes of entries, each
//   u32 nameLength, name, u32 offset (from the data area), u32 unused,
//   u32 size (as delivered), u32 compressed (nonzero: zlib stream),
//   u32 packedSize (stored length of a compressed entry)
// The data area starts at header length + packedIndexSize.
//
// Names are ANSI code page bytes (Shift-JIS) and may hold backslash-separated
// directories. The first entry in index order whose name begins with the
// sought name (case-insensitive) wins; names need not be sorted or unique.
//
// An archive comes from the update folder and may be damaged or hostile.
// Every length is checked against what the file or the inflated index really
// holds before it is used, so nothing is read outside them and no block is
// allocated out of proportion to the file:
//   - an unknown version, or a v1/v2 index of 0 bytes: no entries;
//   - a packed index longer than the file behind the header, or an index
//     larger than zlib can make of its packed bytes: no entries;
//   - a name running past the index (or past the end of a v0 file), or a
//     truncated entry record: the entries before it are all there is;
//   - an entry whose data lies outside the file, or a compressed entry larger
//     than its stream can inflate to: skipped as malformed;
//   - a stream that is corrupt, or inflates to more or fewer bytes than its
//     stated length: "データ解凍に失敗しました。".

#include "pak/archive_search.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <vector>
#include "base/buffer.h"
#include "base/exceptions.h"
#include "base/multibyte.h"
#include "pak/archive_entry.h"
#include "pak/archive_header.h"
#include "paths/paths.h"

namespace {

// deflate's best case is about 1032 output bytes per input byte; an index or
// entry that claims more than that of its packed length cannot be genuine.
const uint64_t kMaxInflateRatio = 1032;
const uint64_t kInflateSlack = 64;
// Largest index block the search will ask for, whatever the header says.
const uint32_t kMaxIndexSize = 256u << 20;
// Stream buffer of an archive being searched. The packed index and
// compressed entries are read in 4 KiB chunks; with the runtime's default
// buffer of the same size every chunk is its own system call.
const size_t kArchiveStreamBuffer = 64 * 1024;
// Every byte read lies below 2 GiB: offsets are used as signed 32-bit values.
const uint64_t kMaxDataEnd = 0x80000000u;

bool InflatedSizePlausible(uint64_t size, uint64_t packedSize)
{
    return size <= packedSize * kMaxInflateRatio + kInflateSlack;
}

// The sought name and the code page's byte classes, taken once per search:
// the index scan asks about every entry, so the per-entry work must stay a
// handful of instructions.
class NameMatcher {
public:
    NameMatcher(const char* sought, uint32_t length)
        : sought_(sought), length_(length), charStart_(length), probe_(length)
    {
        for (unsigned c = 0; c < 256; ++c) {
            lead_[c] = IsLeadByte(static_cast<unsigned char>(c));
            fold_[c] = static_cast<unsigned char>(FoldSingle(c));
        }
        // Where each character of the sought name begins, as BeginsWith
        // steps through it.
        const unsigned char* a = reinterpret_cast<const unsigned char*>(sought);
        for (uint32_t i = 0; i < length;) {
            charStart_[i] = i;
            if (lead_[a[i]] && i + 1 < length) {
                charStart_[i + 1] = i;
                i += 2;
            } else {
                ++i;
            }
        }
    }
    NameMatcher(const NameMatcher&) = delete;
    NameMatcher& operator=(const NameMatcher&) = delete;
    virtual ~NameMatcher() {}

    // Does name (nameLength bytes) begin with the sought name? ASCII letters
    // fold to one case; a double-byte character is compared as one unit with
    // the code page's own case pairs, so its trail byte is never compared
    // alone (ア and ヂ differ only by the case of their trail byte). A NUL
    // ends a stored name, so one within the sought length never matches.
    bool BeginsWith(const char* name, uint32_t nameLength) const
    {
        if (nameLength < length_)
            return false;
        const unsigned char* a = reinterpret_cast<const unsigned char*>(sought_);
        const unsigned char* b = reinterpret_cast<const unsigned char*>(name);
        // Neighbouring names of an index tend to differ in the same place, so
        // the single-byte character where the last name differed is tried
        // first. A name that matches steps through the same characters as the
        // sought one, so a difference there is a difference in any case.
        if (probe_ < length_ && fold_[a[probe_]] != fold_[b[probe_]])
            return false;
        // Names mostly share long prefixes with the sought one (the same
        // directories), so equal bytes are skipped first, a word at a time.
        // Up to the first difference both sides step through the same
        // characters, so the careful comparison can start at the character
        // holding that difference.
        uint32_t same = 0;
        for (;;) {
            if (same + 4 > length_) {
                while (same < length_ && a[same] == b[same])
                    ++same;
                break;
            }
            const uint32_t diff = LoadWord(a + same) ^ LoadWord(b + same);
            if (diff) {
                same += uint32_t(__builtin_ctz(diff)) / 8;  // little-endian
                break;
            }
            same += 4;
        }
        if (same < length_ && !FoldedEqual(a, b, charStart_[same]))
            return false;
        return std::memchr(name, 0, length_) == nullptr;
    }

private:
    static uint32_t LoadWord(const unsigned char* p)
    {
        uint32_t word;
        std::memcpy(&word, p, sizeof word);
        return word;
    }

    // The first length_ bytes from i on, character by character.
    bool FoldedEqual(const unsigned char* a, const unsigned char* b, uint32_t i) const
    {
        while (i < length_) {
            const bool aDouble = lead_[a[i]] && i + 1 < length_;
            const bool bDouble = lead_[b[i]] && i + 1 < length_;
            if (aDouble != bDouble)
                return false;
            if (aDouble) {
                if (a[i] != b[i] || a[i + 1] != b[i + 1]) {
                    const unsigned codeA = unsigned(a[i]) << 8 | a[i + 1];
                    const unsigned codeB = unsigned(b[i]) << 8 | b[i + 1];
                    if (FoldDouble(codeA) != FoldDouble(codeB))
                        return false;
                }
                i += 2;
            } else {
                if (fold_[a[i]] != fold_[b[i]]) {
                    probe_ = i;
                    return false;
                }
                ++i;
            }
        }
        return true;
    }

    const char* sought_;
    uint32_t length_;
    std::vector<uint32_t> charStart_;
    mutable uint32_t probe_;  // a single-byte character of the sought name
    bool lead_[256];
    unsigned char fold_[256];
};

// Length of a stored name as a text: an embedded NUL ends it.
uint32_t TextLength(const char* bytes, uint32_t count)
{
    const void* nul = std::memchr(bytes, 0, count);
    return nul ? uint32_t(static_cast<const char*>(nul) - bytes) : count;
}

uint32_t LoadU32(const unsigned char* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// The next n bytes of a memory-mode reader, in place, or null (the reader
// unmoved) when fewer remain: Read without the copy, for the index scan.
inline const unsigned char* Take(ArchiveFile& reader, uint32_t n)
{
    const uint32_t at = uint32_t(reader.memoryCursor - reader.memory);
    if (n > reader.memorySize - at)
        return nullptr;
    const unsigned char* bytes = reader.memoryCursor;
    reader.memoryCursor += n;
    reader.position += n;
    return bytes;
}

// Holds a nested search off: an archive that vanished between listing and
// opening must not make Open search the archives again from inside a search.
int searchDepth = 0;

class SearchDepth {
public:
    SearchDepth() { ++searchDepth; }
    SearchDepth(const SearchDepth&) = delete;
    SearchDepth& operator=(const SearchDepth&) = delete;
    virtual ~SearchDepth() { --searchDepth; }
};

// Version 0: entries straight from the archive's stream.
bool FindInPlainIndex(ArchiveFile& file, const ArchiveHeader& header, uint64_t fileSize,
                      const NameMatcher& matcher)
{
    ArchiveEntry& entry = *file.entry;
    for (uint32_t i = 0; i < header.count; ++i) {
        const uint64_t at = file.position;
        // The name and the three words behind it must fit in the file.
        if (at + 16 > fileSize)
            return false;
        const uint64_t limit = fileSize - at - 16;
        entry.name.ReadCounted(file, uint32_t(std::min<uint64_t>(limit, 0x7FFFFFBFu)));
        if (file.position == at + 4 && entry.name.text == nullptr) {
            // Either an empty name or a length the file cannot hold; only the
            // second ends this index.
            unsigned char count[4] = {0, 0, 0, 0};
            file.Seek(at);
            file.Read(count, 4);
            if (LoadU32(count) != 0)
                return false;
        }
        unsigned char words[12];
        if (file.Read(words, 12) != 12)
            return false;
        entry.offset = LoadU32(words);
        entry.size = LoadU32(words + 8);
        entry.compressed = 0;
        entry.packedSize = 0;
        const char* name = entry.name.text ? entry.name.text : "";
        if (!matcher.BeginsWith(name, uint32_t(lstrlenA(name))))
            continue;
        const uint64_t end = uint64_t(entry.offset) + entry.size;
        if (end > fileSize || end > kMaxDataEnd)
            continue;
        file.Seek(entry.offset);
        file.baseOffset = entry.offset;
        file.name.Assign(entry.name);
        file.inArchive = true;
        return true;
    }
    return false;
}

// Versions 1 and 2: entries from the inflated index, read through a second
// object attached to the index block.
bool FindInPackedIndex(ArchiveFile& file, const ArchiveHeader& header, uint64_t fileSize,
                       const NameMatcher& matcher)
{
    const uint64_t headerLength = header.version == 2 ? 276 : 16;
    if (header.indexSize == 0 || header.indexSize > kMaxIndexSize)
        return false;
    if (header.packedIndexSize == 0 || fileSize < headerLength ||
        header.packedIndexSize > fileSize - headerLength)
        return false;
    if (!InflatedSizePlausible(header.indexSize, header.packedIndexSize))
        return false;

    Buffer block(header.indexSize);
    if (file.Decompress(header.packedIndexSize, block.data, header.indexSize) != header.indexSize)
        throw OCErrorException("データ解凍に失敗しました。");

    ArchiveFile reader;
    reader.AttachMemory(block.data, header.indexSize, false);
    ArchiveEntry& entry = *file.entry;
    const uint64_t dataArea = headerLength + header.packedIndexSize;
    for (uint32_t i = 0; i < header.count; ++i) {
        const unsigned char* word = Take(reader, 4);
        if (!word)
            return false;
        const uint32_t nameLength = LoadU32(word);
        const uint32_t left = reader.memorySize - uint32_t(reader.position);
        if (nameLength > left || left - nameLength < 20)
            return false;
        // The name is matched where it lies; only the match is copied out.
        const char* name = reinterpret_cast<const char*>(Take(reader, nameLength));
        const unsigned char* words = Take(reader, 20);
        if (!matcher.BeginsWith(name, nameLength))
            continue;

        const uint32_t textLength = TextLength(name, nameLength);
        if (textLength)
            entry.name.Assign(name, int32_t(textLength));
        else
            entry.name.Clear();
        entry.offset = LoadU32(words);
        entry.size = LoadU32(words + 8);
        entry.compressed = LoadU32(words + 12);
        entry.packedSize = LoadU32(words + 16);
        const uint64_t start = dataArea + entry.offset;
        const uint64_t stored = entry.compressed ? entry.packedSize : entry.size;
        if (start + stored > fileSize || start + stored > kMaxDataEnd)
            continue;
        if (entry.compressed &&
            (entry.packedSize == 0 || !InflatedSizePlausible(entry.size, entry.packedSize)))
            continue;

        file.Seek(start);
        file.baseOffset = start;
        file.name.Assign(entry.name);
        file.inArchive = true;
        file.compressed = entry.compressed;
        if (entry.compressed) {
            std::unique_ptr<void, decltype(&free)> data(malloc(entry.size ? entry.size : 1), &free);
            if (!data)
                throw std::bad_alloc();
            // A short stream would leave bytes of the block nobody wrote.
            if (file.Decompress(entry.packedSize, data.get(), entry.size) != entry.size)
                throw OCErrorException("データ解凍に失敗しました。");
            file.AttachMemory(data.release(), entry.size, true);
            file.baseOffset = 0;
        }
        return true;
    }
    return false;
}

}  // namespace

bool PathExists(const char* path)
{
    if (!path || !*path)
        return false;
    const char* colon = NextChar(path);
    if (*path != '\\' && *colon == ':') {
        // Ask the volume first, so a drive without a medium is a plain "no".
        // The root always gets its backslash: GetVolumeInformationA refuses a
        // bare "C:", which is what a search of a drive's root directory asks.
        String root;
        root.Assign(path, int32_t(colon + 1 - path));
        root.Append("\\");
        DWORD maxComponent = 0;
        DWORD flags = 0;
        if (!GetVolumeInformationA(root.text, nullptr, 0, nullptr, &maxComponent, &flags, nullptr, 0))
            return false;
    }
    return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

bool FindInArchives(ArchiveFile& file, const char* directory, const char* soughtName)
{
    if (searchDepth > 0)
        return false;
    SearchDepth depth;

    String sought;
    sought.Assign(soughtName ? soughtName : "");
    sought.Replace("\\\\", "\\");
    const char* soughtText = sought.text ? sought.text : "";
    const NameMatcher matcher(soughtText, uint32_t(lstrlenA(soughtText)));

    String dir;
    if (EndsWithSeparator(directory))
        dir.Assign(directory, lstrlenA(directory) - 1);
    else
        dir.Assign(directory ? directory : "");
    if (!PathExists(dir.text))
        return false;

    std::vector<String> archives;
    String pattern;
    pattern.Format("%s\\*.pak", dir.text);
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA(pattern.text, &found);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                continue;
            archives.emplace_back();
            archives.back().Format("%s\\%s", dir.text, found.cFileName);
        } while (FindNextFileA(find, &found));
        FindClose(find);
    }
    std::vector<size_t> order(archives.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&archives](size_t a, size_t b) {
        return lstrcmpiA(archives[a].text, archives[b].text) < 0;
    });

    for (size_t i : order) {
        // An archive that cannot be opened reads as an empty version 0.
        file.Open(archives[i].text, ModeRead);
        if (file.file)
            setvbuf(file.file, nullptr, _IOFBF, kArchiveStreamBuffer);
        // The length before the header: a seek after the header read would
        // throw away the stream buffer that read filled.
        const uint64_t fileSize = file.file ? file.Size() : 0;
        ArchiveHeader header;
        header.Read(file);
        bool hit = false;
        if (header.version == 0)
            hit = FindInPlainIndex(file, header, fileSize, matcher);
        else if (header.version <= 2)
            hit = FindInPackedIndex(file, header, fileSize, matcher);
        if (hit)
            return true;
        file.Close();
    }
    return false;
}
