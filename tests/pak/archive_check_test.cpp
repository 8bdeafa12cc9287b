#include "pak/archive_check.h"

#include "base/text_932.h"
#include "tests/pak/pak_fixture.h"

namespace {

class ArchiveSoundness : public PakFolder {};

std::string Cut(const std::string& bytes, size_t drop)
{
    return bytes.substr(0, bytes.size() - drop);
}

}  // namespace

TEST_F(ArchiveSoundness, OnlyAWholeArchiveMayReplaceAnother)
{
    PakSpec full = Pak(2, {Packed("a.txt", std::string(5000, 'a')), Raw("b.txt", "bbbb")});
    full.revision = 20;
    const std::string whole = BuildPak(full);
    PakSpec emptyIndex = Pak(2, {Raw("x", "y")});
    emptyIndex.indexSize = 0;
    PakSpec noStream = Pak(2, {Raw("x", "y")});
    noStream.packedIndex = "not a zlib stream";
    PakEntry packedEmpty = Packed("p", "data");
    packedEmpty.packedSize = 0;
    PakEntry farAway = Raw("f", "data");
    farAway.offset = 0x7FFFFFFF;
    const struct {
        const char* label;
        std::string bytes;
        bool sound;
    } rows[] = {
        {"v2 with a packed and a raw entry", whole, true},
        {"v1", BuildPak(Pak(1, {Packed("a", "aaaa"), Raw("b", "b")})), true},
        {"v0", BuildPak(Pak(0, {Raw("a", "aaaa")})), true},
        {"no entries", BuildPak(Pak(2, {})), true},
        {"last entry cut short (an interrupted download)", Cut(whole, 1), false},
        {"cut inside the index", whole.substr(0, 290), false},
        {"cut inside the header", whole.substr(0, 100), false},
        {"empty file", "", false},
        {"unknown version", std::string("\7\0\0\0\1\0\0\0", 8), false},
        {"entries but an empty index", BuildPak(emptyIndex), false},
        {"index that is no stream", BuildPak(noStream), false},
        {"compressed entry of no stored bytes", BuildPak(Pak(2, {packedEmpty})), false},
        {"entry beyond 2 GiB", BuildPak(Pak(2, {farAway})), false},
    };
    for (const auto& row : rows) {
        Put("data.pak", row.bytes);
        const std::string error =
            ErrorMessage([&] { CheckArchiveIsSound(WideFrom932(scratch.Path("data.pak").c_str())); });
        EXPECT_EQ(error, row.sound ? "<no exception>" : InflateFailure()) << row.label;
    }
    // A path that cannot be opened is left to the copy to report.
    EXPECT_EQ(ErrorMessage([&] { CheckArchiveIsSound(L"missing.pak"); }), "<no exception>");
}

namespace {

// A byte of the archive changed: at, from the end when negative.
std::string Flipped(std::string bytes, long at)
{
    const size_t i = at < 0 ? bytes.size() - size_t(-at) : size_t(at);
    bytes[i] = char(bytes[i] ^ 0x55);
    return bytes;
}

class Depths : public PakFolder {
protected:
    // problems, damage: as the check at depth counted them.
    void Check(const std::string& bytes, CheckDepth depth, uint64_t& problems, uint64_t& damage,
               std::string& first)
    {
        Put("x.pak", bytes);
        ArchiveFile archive, data;
        ASSERT_TRUE(archive.Open(WideFrom932(scratch.Path("x.pak").c_str()), ModeRead));
        ASSERT_TRUE(data.Open(WideFrom932(scratch.Path("x.pak").c_str()), ModeRead));
        ArchiveReport report;
        CheckArchive(archive, data, depth, report);
        problems = report.problemCount;
        damage = report.damageCount;
        first = report.problems.empty() ? "" : report.problems.front().message;
    }
};

}  // namespace

TEST_F(Depths, TheFullDepthAloneInflatesEntries)
{
    // The last entry's stream ends the file: a flipped byte inside it (its
    // check value, or the deflated data) is seen only by inflating it.
    const std::string text(4000, 'q');
    const std::string packed = BuildPak(Pak(2, {Raw("a", "aa"), Packed("b", text)}));
    PakEntry shortStream = Packed("s", text);
    shortStream.size = 3999;
    PakEntry doubled = Raw("d", "dd");
    doubled.offset = 0;  // the same bytes as "a": allowed
    PakEntry over = Raw("o", "oo");
    over.offset = 1;  // inside "a"'s bytes: a fault of the making only
    PakEntry overPacked = Packed("p", text);
    overPacked.offset = 1;  // inside "b"'s stream: delivered, so inflated too
    const struct {
        const char* label;
        std::string bytes;
        uint64_t boundsProblems, boundsDamage, fullProblems, fullDamage;
        const char* fullFirst;
    } rows[] = {
        {"sound", packed, 0, 0, 0, 0, ""},
        {"check value flipped", Flipped(packed, -1), 0, 0, 1, 1, "its zlib stream is corrupt"},
        {"deflated data flipped", Flipped(packed, -20), 0, 0, 1, 1, nullptr},
        {"stream longer than the size", BuildPak(Pak(2, {shortStream})), 0, 0, 1, 1,
         "its zlib stream inflates to more than its size of 3999 bytes"},
        {"cut short", packed.substr(0, packed.size() - 1), 1, 1, 1, 1, nullptr},
        {"entries sharing bytes", BuildPak(Pak(2, {Raw("a", "aa"), doubled})), 0, 0, 0, 0, ""},
        {"same name twice", BuildPak(Pak(2, {Raw("A.txt", "1"), Raw("a.TXT", "2")})), 1, 0, 1, 0,
         "an earlier entry, "},
        {"overlapping data", BuildPak(Pak(1, {Raw("a", "aa"), over})), 1, 0, 1, 0,
         "its data overlaps that of "},
        {"compressed data overlapping, not a stream", BuildPak(Pak(2, {Packed("b", text), overPacked})), 1,
         0, 2, 1, nullptr},
        {"NUL in a name", BuildPak(Pak(2, {Raw(std::string("n\0m", 3), "1")})), 1, 0, 1, 0,
         "its name holds a NUL byte, where the updater's reading of it ends"},
    };
    for (const auto& row : rows) {
        uint64_t problems = 0, damage = 0;
        std::string first;
        Check(row.bytes, CheckBounds, problems, damage, first);
        EXPECT_EQ(problems, row.boundsProblems) << row.label << " (bounds): " << first;
        EXPECT_EQ(damage, row.boundsDamage) << row.label << " (bounds): " << first;
        Check(row.bytes, CheckFull, problems, damage, first);
        EXPECT_EQ(problems, row.fullProblems) << row.label << " (full): " << first;
        EXPECT_EQ(damage, row.fullDamage) << row.label << " (full): " << first;
        if (row.fullFirst) {
            EXPECT_EQ(first, row.fullFirst) << row.label;
        }
        // The updater's check, before it replaces an archive, is the full
        // depth: faults of the making pass, damage does not.
        Put("data.pak", row.bytes);
        EXPECT_EQ(ErrorMessage([&] {
                      CheckArchiveIsSound(WideFrom932(scratch.Path("data.pak").c_str()), CheckFull);
                  }),
                  row.fullDamage ? InflateFailure() : "<no exception>")
            << row.label;
    }
}

TEST_F(Depths, NamesAreJudgedByTheRuleGiven)
{
    Put("x.pak", BuildPak(Pak(2, {Raw("ok", "1"), Raw("con", "2")})));
    ArchiveFile archive, data;
    ASSERT_TRUE(archive.Open(WideFrom932(scratch.Path("x.pak").c_str()), ModeRead));
    ASSERT_TRUE(data.Open(WideFrom932(scratch.Path("x.pak").c_str()), ModeRead));
    ArchiveReport report;
    CheckArchive(archive, data, CheckFull, report, [](const std::string& name) {
        return name == "con" ? std::string("refused: ") + name : std::string();
    });
    ASSERT_EQ(report.problems.size(), 1u);
    EXPECT_EQ(report.problems[0].entry, "con");
    EXPECT_EQ(report.problems[0].message, "refused: con");
    EXPECT_FALSE(report.problems[0].damage);
    EXPECT_EQ(report.checked, 2u);
}
