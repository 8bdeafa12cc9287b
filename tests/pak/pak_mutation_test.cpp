// Damaged archives: valid ones with bytes flipped, words replaced, cut short
// or extended, each opened as the updater would open a file. Every one must
// end in found, not found or the inflate failure, never a crash or a hang.

#include <random>
#include "tests/pak/pak_fixture.h"

namespace {

std::vector<std::string> Seeds()
{
    std::string text;
    for (int i = 0; i < 300; ++i)
        text += "entry text " + std::to_string(i) + ";";
    std::vector<PakEntry> entries = {Raw("first.txt", "raw bytes"), Packed("target.txt", text),
                                     Raw("target.raw", "second raw"), Packed("dir\\deep.bin", "xyz")};
    std::vector<std::string> seeds;
    seeds.push_back(BuildPak(Pak(0, {Raw("first.txt", "abc"), Raw("target.txt", text)})));
    seeds.push_back(BuildPak(Pak(1, entries)));
    PakSpec v2 = Pak(2, entries);
    v2.revision = 9;
    seeds.push_back(BuildPak(v2));
    return seeds;
}

void Mutate(std::string& bytes, std::mt19937& random)
{
    const int edits = 1 + int(random() % 4);
    for (int i = 0; i < edits && !bytes.empty(); ++i) {
        const size_t at = random() % bytes.size();
        switch (random() % 6) {
        case 0:  // flip a byte
            bytes[at] = char(bytes[at] ^ (1 + random() % 255));
            break;
        case 1: {  // a word becomes small, huge or random
            static const uint32_t values[] = {0, 1, 3, 255, 4096, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF};
            uint32_t v = random() % 2 ? values[random() % 8] : uint32_t(random());
            for (int b = 0; b < 4 && at + b < bytes.size(); ++b)
                bytes[at + b] = char(v >> (8 * b));
            break;
        }
        case 2:  // a header word, where damage matters most
            bytes[random() % std::min<size_t>(bytes.size(), 20)] = char(random());
            break;
        case 3:  // cut short
            bytes.resize(at);
            break;
        case 4:  // trailing junk
            bytes.append(random() % 64, char(random()));
            break;
        default:  // a byte somewhere in the (packed) index
            bytes[std::min<size_t>(bytes.size() - 1, 8 + random() % 300)] ^= char(1 << (random() % 8));
            break;
        }
    }
}

// Thousands of rewrites must stay cheap: WriteFileBytes makes every parent
// folder first, and truncating a file to nothing makes ext4 (under Wine)
// flush it to disk, so the file is overwritten and then cut to length.
void Overwrite(const std::string& path, const std::string& bytes)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
    DWORD written = 0;
    WriteFile(file, bytes.data(), DWORD(bytes.size()), &written, nullptr);
    SetEndOfFile(file);
    CloseHandle(file);
    ASSERT_EQ(written, bytes.size()) << path;
}

}  // namespace

class PakMutation : public PakFolder {};

TEST_F(PakMutation, DamagedArchivesEndInFoundNotFoundOrInflateFailure)
{
    const std::vector<std::string> seeds = Seeds();
    std::mt19937 random(20240601);
    quietOpen = 1;
    int found = 0, missing = 0, failed = 0;
    // Half the searches ask for a name no archive holds, so that every
    // archive of the folder is read to its end.
    const char* names[] = {"target.txt", "target.raw", "dir\\deep", "t", "absent", "absent.too"};
    const char* archives[] = {"a.pak", "b.pak", "c.pak", "d.pak", "e.pak"};
    // 400 rounds of five archives: 2000 damaged archives in a few seconds.
    for (int round = 0; round < 400; ++round) {
        for (const char* archive : archives) {
            std::string bytes = seeds[random() % seeds.size()];
            Mutate(bytes, random);
            Overwrite(scratch.Path(archive), bytes);
        }
        const char* sought = names[random() % 6];
        ArchiveFile file;
        try {
            if (file.Open(sought, ModeRead)) {
                ++found;
                const uint32_t size = file.Size();
                ASSERT_LE(size, 1u << 24) << "round " << round;  // bounded by the damage
                std::string data(size, '\0');
                file.Read(&data[0], size);
            } else {
                ++missing;
            }
        } catch (const OCErrorException& e) {
            ++failed;
            ASSERT_STREQ(e.message.text, InflateFailure()) << "round " << round;
        }
    }
    // Every kind of ending must have been reached, or the damage was too mild.
    EXPECT_GT(found, 30);
    EXPECT_GT(missing, 5);  // a miss needs every damaged index of the round intact
    EXPECT_GT(failed, 30);
    RecordProperty("found", found);
    RecordProperty("missing", missing);
    RecordProperty("failed", failed);
}
