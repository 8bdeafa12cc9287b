// What the archive writer writes, read back by the updater's own reader and
// checked to the full depth.

#include "pak/archive_writer.h"

#include "base/text_932.h"
#include "pak/archive_check.h"
#include "pak/archive_index.h"
#include "pak/archive_revision.h"
#include "tests/pak/pak_fixture.h"

namespace {

class WrittenEntry {
public:
    std::string name;
    std::string data;
    bool compress;
};

// An archive of the entries, made by the writer's functions alone.
std::string Write(uint32_t version, int32_t revision, const std::vector<WrittenEntry>& entries)
{
    std::string index, data;
    // Version 0 offsets are absolute: behind the header and the plain index.
    uint32_t base = 0;
    if (version == 0) {
        base = 8;
        for (const WrittenEntry& e : entries)
            base += 16 + uint32_t(e.name.size());
    }
    for (const WrittenEntry& e : entries) {
        std::string stored = e.data;
        if (e.compress && !DeflateBlock(e.data.data(), e.data.size(), 9, stored))
            return std::string();
        RecordFields record;
        record.name = e.name;
        record.nameLength = uint32_t(e.name.size());
        record.offset = base + uint32_t(data.size());
        record.size = uint32_t(e.data.size());
        record.compressed = e.compress ? 1 : 0;
        record.packedSize = uint32_t(stored.size());
        PutRecord(version, record, index);
        data += stored;
    }
    HeaderFields header;
    header.version = version;
    header.count = uint32_t(entries.size());
    header.revision = uint32_t(revision);
    std::string packed = index;
    if (version != 0) {
        if (!DeflateBlock(index.data(), index.size(), 6, packed))
            return std::string();
        header.indexSize = uint32_t(index.size());
        header.packedIndexSize = uint32_t(packed.size());
    }
    std::string out;
    PutHeader(header, out);
    return out + packed + data;
}

class ArchiveWriterTest : public PakFolder {};

}  // namespace

TEST_F(ArchiveWriterTest, WhatIsWrittenIsWhatIsRead)
{
    const std::string text(3000, 'w');
    // Literals are code page 932: 表 (95 5C) ends in a backslash byte.
    const std::vector<WrittenEntry> entries = {
        {"a.txt", "alpha", false}, {"dir\\表.txt", text, true}, {"empty", "", false}};
    const struct {
        uint32_t version;
        int32_t revision;
        uint32_t headerLength;
        const char* revisionText;
    } rows[] = {
        {0, 0, 8, "0"}, {1, 0, 16, "0"}, {2, -7, 276, "-7"}, {2, 2147483647, 276, "2147483647"},
    };
    for (const auto& row : rows) {
        const std::vector<WrittenEntry> written =
            row.version == 0 ? std::vector<WrittenEntry>{{"a.txt", "alpha", false},
                                                         {"dir\\表.txt", text, false}}
                             : entries;
        const std::string bytes = Write(row.version, row.revision, written);
        Put("w.pak", bytes);
        const std::wstring path = WideFrom932(scratch.Path("w.pak").c_str());
        {
            ArchiveFile archive;
            ASSERT_TRUE(archive.Open(path, ModeRead)) << row.version;
            ArchiveIndex index(archive);
            ASSERT_TRUE(index.Load()) << row.version;
            EXPECT_EQ(index.header.Length(), row.headerLength) << row.version;
            EXPECT_EQ(index.header.count, written.size()) << row.version;
            IndexRecord record;
            for (const WrittenEntry& e : written) {
                ASSERT_TRUE(index.Next(record)) << row.version << " " << e.name;
                EXPECT_EQ(std::string(record.name, record.nameLength), e.name) << row.version;
                EXPECT_EQ(record.size, e.data.size()) << row.version << " " << e.name;
                EXPECT_EQ(record.compressed != 0, e.compress) << row.version << " " << e.name;
            }
            EXPECT_FALSE(index.Next(record)) << row.version;
        }
        ArchiveFile archive, data;
        ASSERT_TRUE(archive.Open(path, ModeRead) && data.Open(path, ModeRead));
        ArchiveReport report;
        CheckArchive(archive, data, CheckFull, report);
        EXPECT_EQ(report.problemCount, 0u) << row.version << ": "
                                           << (report.problems.empty() ? ""
                                                                       : report.problems[0].message);
        String revision;
        GetArchiveRevisionText(path, revision);
        EXPECT_STREQ(TextOf(revision), row.revisionText) << row.version;
        // Each entry delivered through the lookup, as the updater reads it.
        for (const WrittenEntry& e : written) {
            ArchiveFile entry;
            ASSERT_TRUE(entry.Open(e.name.c_str(), ModeRead)) << row.version << " " << e.name;
            EXPECT_EQ(ReadAll(entry), e.data) << row.version << " " << e.name;
        }
    }
}
