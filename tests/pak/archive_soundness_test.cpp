#include "pak/archive_soundness.h"

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
