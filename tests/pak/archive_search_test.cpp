#include "pak/archive_search.h"

#include "pak/archive_header.h"
#include "tests/pak/pak_fixture.h"
#include "tests/support/message_box_answerer.h"

namespace {

void PutU32(std::string& out, uint32_t value)
{
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(char((value >> shift) & 0xFF));
}

// One v1/v2 index record, written by hand where the test needs the index
// bytes themselves.
std::string IndexRecord(const std::string& name, uint32_t offset, uint32_t size)
{
    std::string out;
    PutU32(out, uint32_t(name.size()));
    out += name;
    PutU32(out, offset);
    PutU32(out, 0xDEADBEEF);  // the unused word may hold anything
    PutU32(out, size);
    PutU32(out, 0);
    PutU32(out, 0);
    return out;
}

}  // namespace

class ArchiveSearch : public PakFolder {};

TEST_F(ArchiveSearch, FirstArchiveInCaseInsensitiveOrderWins)
{
    // Written b first, and with an upper-case name that sorts before a.pak
    // byte-wise: only a case-insensitive order puts a.pak first.
    Put("B.pak", BuildPak(Pak(1, {Raw("same.txt", "from b"), Raw("only-b.txt", "b only")})));
    Put("a.pak", BuildPak(Pak(2, {Raw("same.txt", "from a")})));
    ArchiveFile file;
    ASSERT_TRUE(file.Open("same.txt", ModeRead));
    EXPECT_EQ(ReadAll(file), "from a");
    EXPECT_EQ(file.path, Wide(scratch.Path("a.pak")));
    ASSERT_TRUE(file.Open("only-b.txt", ModeRead));
    EXPECT_EQ(ReadAll(file), "b only");
    EXPECT_EQ(file.path, Wide(scratch.Path("B.pak")));
}

TEST_F(ArchiveSearch, NameMatchRule)
{
    // Literals are code page 932: ア is 83 41 and ヂ is 83 61, which differ
    // only by the ASCII case of their trail byte; ａ/Ａ are a full-width pair.
    Put("m.pak", BuildPak(Pak(2, {
        Raw("abc.txt", "abc"),
        Raw("bg01.png", "bg01"),
        Raw("bg02.png", "bg02"),
        Raw("dir\\file.txt", "in dir"),
        Raw("ヂ.txt", "dzi"),
        Raw("ア.txt", "a"),
        Raw("ＡＢ.txt", "fullwidth"),
        Raw("folder\\ヂ.txt", "long dzi"),
        Raw("folder\\ア.txt", "long a"),
        Raw("ソa", "so"),
        Raw("same", "first"),
        Raw("same", "second"),
    })));
    struct Row { const char* sought; const char* expected; } rows[] = {
        {"bg", "bg01"},                 // prefix: the first entry beginning with it
        {"BG02.PNG", "bg02"},
        {"dir\\\\file.txt", "in dir"},  // a doubled backslash reads as one
        {"DIR\\FILE", "in dir"},
        {"ア.txt", "a"},                // not ヂ.txt, which comes first
        {"ヂ", "dzi"},
        {"ａｂ", "fullwidth"},
        // A long shared prefix before the double-byte difference.
        {"FOLDER\\ア.txt", "long a"},
        {"folder\\ヂ", "long dzi"},
        {"ソA", "so"},
        {"same", "first"},
        {"abc.txt.long", nullptr},      // longer than every name
        {"ゾ", nullptr},
        {"c.txt", nullptr},
    };
    for (const Row& row : rows) {
        ArchiveFile file;
        const bool found = FindInArchives(file, Wide(scratch.Path()), row.sought);
        if (!row.expected) {
            EXPECT_FALSE(found) << "sought: " << row.sought;
            EXPECT_EQ(file.file, nullptr) << "sought: " << row.sought;
            continue;
        }
        ASSERT_TRUE(found) << "sought: " << row.sought;
        file.Seek(0);
        EXPECT_EQ(ReadAll(file), row.expected) << "sought: " << row.sought;
    }
}

TEST_F(ArchiveSearch, EmptyNames)
{
    Put("e.pak", BuildPak(Pak(0, {Raw("", "empty"), Raw("x", "x")})));
    ArchiveFile file;
    ASSERT_TRUE(FindInArchives(file, Wide(scratch.Path()), ""));
    file.Seek(0);
    EXPECT_EQ(ReadAll(file), "empty");
    ASSERT_TRUE(FindInArchives(file, Wide((scratch.Path() + "\\")), "x"));
    EXPECT_STREQ(file.name.text, "x");
}

TEST_F(ArchiveSearch, VersionZeroLayoutByHand)
{
    // One entry a.txt holding abc, 32 bytes in all.
    const unsigned char bytes[] = {
        0, 0, 0, 0, 1, 0, 0, 0, 5, 0, 0, 0, 'a', '.', 't', 'x',
        't', 29, 0, 0, 0, 0, 0, 0, 0, 3, 0, 0, 0, 'a', 'b', 'c',
    };
    Put("hand.pak", std::string(reinterpret_cast<const char*>(bytes), sizeof bytes));
    ArchiveFile file;
    ASSERT_TRUE(file.Open("a.txt", ModeRead));
    EXPECT_TRUE(file.inArchive);
    EXPECT_EQ(file.baseOffset, 29u);
    EXPECT_EQ(file.Size(), 3u);
    EXPECT_EQ(ReadAll(file), "abc");
}

TEST_F(ArchiveSearch, DataAreaFollowsThePackedIndex)
{
    // A packed index padded to 100 bytes: bytes behind the stream's end are
    // not read as index, and the data area starts at header + 100.
    const std::string index = IndexRecord("e.bin", 0, 4);
    std::string packed = ZlibCompress(index);
    ASSERT_LT(packed.size(), 100u);
    packed.resize(100, 'P');
    struct Row { uint32_t version; uint64_t dataStart; } rows[] = {{1, 116}, {2, 376}};
    for (const Row& row : rows) {
        PakSpec spec = Pak(row.version, {});
        spec.count = 1;
        spec.indexSize = uint32_t(index.size());
        spec.packedIndex = packed;
        Put("v.pak", BuildPak(spec) + "DATAtail");
        ArchiveFile file;
        ASSERT_TRUE(file.Open("e.bin", ModeRead)) << "version " << row.version;
        EXPECT_EQ(file.baseOffset, row.dataStart) << "version " << row.version;
        EXPECT_EQ(ReadAll(file), "DATA") << "version " << row.version;
        // A raw entry reads on into the archive past its own size.
        char more[4] = {};
        EXPECT_EQ(file.Read(more, 4), 4u);
        EXPECT_EQ(std::string(more, 4), "tail");
        EXPECT_EQ(file.position, 8u);
    }
}

TEST_F(ArchiveSearch, RawFromStreamCompressedFromMemory)
{
    std::string big;
    for (int i = 0; i < 5000; ++i)
        big += "line " + std::to_string(i) + "\n";
    Put("r.pak", BuildPak(Pak(2, {Raw("raw.txt", "raw data"), Packed("big.txt", big)})));

    ArchiveFile file;
    ASSERT_TRUE(file.Open("raw.txt", ModeRead));
    EXPECT_FALSE(file.inMemory);
    EXPECT_EQ(file.compressed, 0u);
    EXPECT_STREQ(file.name.text, "raw.txt");
    EXPECT_EQ(file.position, 0u);
    EXPECT_EQ(ReadAll(file), "raw data");
    // Seek(0) goes back to the entry's first byte, not the archive's.
    file.Seek(0);
    char head[3] = {};
    EXPECT_EQ(file.Read(head, 3), 3u);
    EXPECT_EQ(std::string(head, 3), "raw");

    ASSERT_TRUE(file.Open("big.txt", ModeRead));
    EXPECT_TRUE(file.inMemory);
    EXPECT_TRUE(file.ownsMemory);
    EXPECT_NE(file.compressed, 0u);
    EXPECT_EQ(file.baseOffset, 0u);
    EXPECT_EQ(file.Size(), big.size());
    EXPECT_EQ(ReadAll(file), big);
    // The block bounds memory reads: nothing past its end.
    char extra[8];
    EXPECT_EQ(file.Read(extra, sizeof extra), 0u);
    file.Seek(5);
    EXPECT_EQ(file.Read(extra, 4), 4u);
    EXPECT_EQ(std::string(extra, 4), big.substr(5, 4));
}

TEST_F(ArchiveSearch, FoldersAndMissingDirectories)
{
    CreateDirectoryA(scratch.Path("x.pak").c_str(), nullptr);
    Put("y.pak", BuildPak(Pak(0, {Raw("y.txt", "y")})));
    MessageBoxAnswerer answerer({IDIGNORE});
    ArchiveFile file;
    EXPECT_TRUE(FindInArchives(file, Wide(scratch.Path()), "y.txt"));
    // A folder named like an archive is no archive: opening it would prompt.
    EXPECT_TRUE(answerer.boxes.empty());

    EXPECT_FALSE(FindInArchives(file, Wide(scratch.Path("missing")), "y.txt"));
    EXPECT_FALSE(FindInArchives(file, L"Q:\\", "y.txt"));  // no such volume
    EXPECT_FALSE(FindInArchives(file, L"", "y.txt"));
}

TEST_F(ArchiveSearch, PathExists)
{
    Put("f.txt", "x");
    struct Row { std::string path; bool expected; } rows[] = {
        {scratch.Path("f.txt"), true},
        {scratch.Path(), true},
        {scratch.Path("nothing"), false},
        {scratch.Path().substr(2) + "\\f.txt", true},  // root-relative
        {"f.txt", true},
        {"C:", true},
        {"Q:\\x", false},
        {"", false},
    };
    for (const Row& row : rows)
        EXPECT_EQ(PathExists(row.path.c_str()), row.expected) << "path: " << row.path;
}

// A damaged archive never gives way to a later one holding the same name:
// only archives that hold no entries at all are passed over.
TEST_F(ArchiveSearch, DamagedArchivesAreReportedNotPassedOver)
{
    const bool passed = true, reported = false;
    struct Row { const char* label; bool passedOver; std::string bytes; } rows[] = {
        {"unknown version", passed, [] { PakSpec s = Pak(3, {Raw("k", "bad")}); return BuildPak(s); }()},
        {"index size 0", passed, [] { PakSpec s = Pak(2, {Raw("k", "bad")}); s.indexSize = 0; return BuildPak(s); }()},
        {"empty file", passed, ""},
        {"short v2 header", passed, std::string("\2\0\0\0\1\0", 6)},
        {"packed index larger than the file", reported,
         [] { PakSpec s = Pak(1, {Raw("k", "bad")}); s.packedIndexSize = 1u << 30; return BuildPak(s); }()},
        {"index larger than its stream can hold", reported,
         [] { PakSpec s = Pak(2, {Raw("k", "bad")}); s.indexSize = 0x7FFFFFFF; return BuildPak(s); }()},
        {"packed index cut short", reported, BuildPak(Pak(1, {Raw("k", "bad"), Raw("l", "x")})).substr(0, 30)},
        {"v2 shorter than its header", reported, BuildPak(Pak(2, {Raw("k", "bad")})).substr(0, 100)},
        {"v0 name past the end of the file", reported,
         [] { PakEntry e = Raw("k", "bad"); e.nameLength = 1000; return BuildPak(Pak(0, {e})); }()},
        {"v0 huge count", reported, [] { PakSpec s = Pak(0, {Raw("j", "bad")}); s.count = 0xFFFFFFFF; return BuildPak(s); }()},
        {"v2 name past the index", reported,
         [] { PakEntry e = Raw("k", "bad"); e.nameLength = 0x7FFFFFF0; return BuildPak(Pak(2, {e})); }()},
        {"v2 huge count", reported, [] { PakSpec s = Pak(2, {Raw("j", "bad")}); s.count = 0xFFFFFFFF; return BuildPak(s); }()},
        {"v0 data past the end", reported,
         [] { PakEntry e = Raw("k", "bad"); e.size = 1000; return BuildPak(Pak(0, {e})); }()},
        {"v1 offset past the end", reported,
         [] { PakEntry e = Raw("k", "bad"); e.offset = 0xFFFFFFF0; return BuildPak(Pak(1, {e})); }()},
        {"compressed size beyond any stream", reported,
         [] { PakEntry e = Packed("k", "bad"); e.size = 0x7FFFFFFF; return BuildPak(Pak(2, {e})); }()},
        {"packed size 0", reported, [] { PakEntry e = Packed("k", "bad"); e.packedSize = 0; return BuildPak(Pak(2, {e})); }()},
        {"packed size past the end", reported,
         [] { PakEntry e = Packed("k", "bad"); e.packedSize = 1u << 20; return BuildPak(Pak(2, {e})); }()},
    };
    Put("z.pak", BuildPak(Pak(0, {Raw("k", "good")})));
    for (const Row& row : rows) {
        Put("a.pak", row.bytes);
        ArchiveFile file;
        if (row.passedOver) {
            ASSERT_TRUE(file.Open("k", ModeRead)) << row.label;
            EXPECT_EQ(ReadAll(file), "good") << row.label;
            EXPECT_EQ(file.path, Wide(scratch.Path("z.pak"))) << row.label;
        } else {
            EXPECT_EQ(ErrorMessage([&] { file.Open("k", ModeRead); }), InflateFailure()) << row.label;
        }
    }
}

// Damage behind the entry a lookup uses is never reached: the first match
// of an index is delivered.
TEST_F(ArchiveSearch, DamageAfterTheMatchIsNotReached)
{
    PakEntry broken = Raw("zz", "x");
    broken.size = 1u << 30;
    PakSpec v0 = Pak(0, {Raw("k", "first"), broken});
    v0.count = 5;
    Put("a.pak", BuildPak(v0));
    ArchiveFile file;
    ASSERT_TRUE(file.Open("k", ModeRead));
    EXPECT_EQ(ReadAll(file), "first");
}

TEST_F(ArchiveSearch, StreamsThatDoNotInflateFail)
{
    const std::string text(3000, 'q');
    struct Row { const char* label; std::string bytes; } rows[] = {
        {"corrupt index", [] { PakSpec s = Pak(2, {Raw("k", "x")}); s.packedIndex = std::string(40, '\x55'); return BuildPak(s); }()},
        {"index shorter than stated",
         [] { PakSpec s = Pak(1, {Raw("k", "x")}); s.indexSize = 200; return BuildPak(s); }()},
        {"index longer than stated",
         [] { PakSpec s = Pak(1, {Raw("k", "x"), Raw("l", "y")}); s.indexSize = 20; return BuildPak(s); }()},
        {"entry shorter than stated",
         [&] { PakEntry e = Packed("k", text); e.size = 3001; return BuildPak(Pak(2, {e})); }()},
        {"entry longer than stated",
         [&] { PakEntry e = Packed("k", text); e.size = 2999; return BuildPak(Pak(2, {e})); }()},
        {"entry stream cut short",
         [&] { PakEntry e = Packed("k", text); e.packedSize = 10; return BuildPak(Pak(2, {e})); }()},
        {"raw bytes flagged compressed",
         [&] { PakEntry e = Raw("k", text); e.compressedWord = 1; e.packedSize = 3000; return BuildPak(Pak(2, {e})); }()},
    };
    for (const Row& row : rows) {
        Put("a.pak", row.bytes);
        ArchiveFile file;
        EXPECT_EQ(ErrorMessage([&] { file.Open("k", ModeRead); }), InflateFailure()) << row.label;
    }
}

TEST_F(ArchiveSearch, HeaderFieldsByVersion)
{
    struct Row { uint32_t version; uint32_t indexSize; uint32_t revision; } rows[] = {
        {0, 0, 0}, {1, 1, 0}, {2, 1, 17}};
    for (const Row& row : rows) {
        PakSpec spec = Pak(row.version, {Raw("n", "d")});
        spec.revision = 17;
        spec.extra = "anything at all";
        Put("h.pak", BuildPak(spec));
        ArchiveFile file;
        ASSERT_TRUE(file.Open(scratch.Path("h.pak").c_str(), ModeRead));
        ArchiveHeader header;
        header.Read(file);
        EXPECT_EQ(header.version, row.version);
        EXPECT_EQ(header.count, 1u);
        EXPECT_EQ(header.indexSize != 0, row.indexSize != 0) << "version " << row.version;
        EXPECT_EQ(header.revision, row.revision) << "version " << row.version;
        EXPECT_EQ(file.position, header.Length()) << "version " << row.version;
    }
}
