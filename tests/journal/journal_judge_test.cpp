#include "journal/journal_judge.h"

#include <gtest/gtest.h>

namespace {

const std::wstring kRun = L"upd0123456789ABCDEF-";
const std::wstring kOwn = L"upd0123456789ABCDEF.d\\00\\";

}  // namespace

// Each row: one replacement in a journal whose folders are "" and "sub";
// the forms a planted journal took, beside what a run really writes.
TEST(JournalJudge, ActsOnlyOnNamesItsOwnRunCouldHaveMade)
{
    const struct {
        const char* label;
        std::wstring target, copy, backup;
        bool confined;
    } rows[] = {
        {"kept in the run's folder", L"a.txt", kOwn + kRun + L"0001.tmp", kOwn + kRun + L"0000.bak", true},
        {"a new file, in a subfolder", L"sub\\v.txt", L"sub\\" + kOwn + kRun + L"1A2B.tmp", L"", true},
        {"beside the target", L"a.txt", kRun + L"0001.tmp", kRun + L"0000.bak", true},
        {"kept file outside", L"a.txt", kOwn + kRun + L"0001.tmp", L"..\\victim\\doc.txt", false},
        {"target outside", L"..\\victim\\config.txt", kRun + L"0001.tmp", kRun + L"0000.bak", false},
        {"kept file a user's", L"a.txt", kOwn + kRun + L"0001.tmp", L"save.dat", false},
        {"copy in the update folder", L"a.txt", L"..\\upd\\own.txt", L"", false},
        {"a drive", L"C:\\Windows\\x.dll", kRun + L"0001.tmp", L"", false},
        {"rooted", L"\\Windows\\x.dll", kRun + L"0001.tmp", L"", false},
        {"a device", L"sub\\con.txt", L"sub\\" + kRun + L"0001.tmp", L"", false},
        {"another run's copy", L"a.txt", L"upd0123456789ABCDEE-0001.tmp", L"", false},
        {"copy in another folder than its target", L"sub\\v.txt", kRun + L"0001.tmp", L"", false},
        {"a folder not the journal's", L"other\\v.txt", L"other\\" + kRun + L"0001.tmp", L"", false},
        {"kept file named as a copy", L"a.txt", kRun + L"0001.tmp", kRun + L"0000.tmp", false},
        {"lower-case digits", L"a.txt", kRun + L"00a1.tmp", L"", false},
        {"too few digits", L"a.txt", kRun + L"001.tmp", L"", false},
        {"a bucket that is not hex", L"a.txt", L"upd0123456789ABCDEF.d\\zz\\" + kRun + L"0001.tmp", L"", false},
        {"a bucket below the bucket", L"a.txt", kOwn + L"00\\" + kRun + L"0001.tmp", L"", false},
        {"no target", L"", kRun + L"0001.tmp", L"", false},
        {"a name code page 932 cannot hold", L"caf\u00e9.txt", kRun + L"0001.tmp", L"", false},
    };
    for (const auto& row : rows) {
        JournalContents contents;
        contents.runPrefix = kRun;
        contents.allOrNothing = true;
        contents.folders = {L"", L"sub"};
        contents.replacing = true;
        contents.replacements.push_back(JournalReplacement(row.target, row.copy, row.backup));
        EXPECT_EQ(JournalIsConfined(contents), row.confined) << row.label;
    }
    // A folder the run made lies on the way to one of the journal's.
    const struct {
        std::wstring made;
        bool confined;
    } made[] = {{L"sub", true}, {L"a", true}, {L"a\\b", true}, {L"b", false}, {L"a\\b\\c", false},
                {L"su", false}, {L"..", false}, {L"", false}};
    for (const auto& row : made) {
        JournalContents contents;
        contents.runPrefix = kRun;
        contents.folders = {L"sub", L"a\\b"};
        contents.madeFolders = {row.made};
        EXPECT_EQ(JournalIsConfined(contents), row.confined) << std::string(row.made.begin(), row.made.end());
    }
    // The folders an item-by-item journal lists are judged as well.
    for (const wchar_t* folder : {L"..\\victim", L"C:", L"\\\\server\\share", L"sub\\..\\.."}) {
        JournalContents contents;
        contents.runPrefix = kRun;
        contents.folders = {folder};
        EXPECT_FALSE(JournalIsConfined(contents)) << folder;
    }
}

namespace {

std::vector<unsigned char> Folders(std::vector<std::wstring> folders)
{
    std::vector<unsigned char> payload;
    PutJournalU32(payload, 1);
    PutJournalU32(payload, uint32_t(folders.size()));
    for (const std::wstring& folder : folders)
        PutJournalText(payload, folder);
    return JournalRecordBytes(kJournalFolders, payload);
}

std::vector<unsigned char> Made(std::vector<std::wstring> folders)
{
    std::vector<unsigned char> payload;
    PutJournalU32(payload, uint32_t(folders.size()));
    for (const std::wstring& folder : folders)
        PutJournalText(payload, folder);
    return JournalRecordBytes(kJournalMadeFolders, payload);
}

std::vector<unsigned char> Replacing()
{
    std::vector<unsigned char> payload;
    PutJournalU32(payload, 1);
    for (const wchar_t* text : {L"a.txt", L"upd0123456789ABCDEF-0001.tmp", L""})
        PutJournalText(payload, text);
    PutJournalBackup(payload, 0, {});
    return JournalRecordBytes(kJournalReplacing, payload);
}

}  // namespace

// Only the shape a run writes is read; a record cut short or spoilt ends a
// journal there, as a crash while writing it would.
TEST(JournalJudge, ReadsOnlyWhatARunWrites)
{
    const std::vector<unsigned char> magic(kJournalMagic, kJournalMagic + 8);
    const std::vector<unsigned char> mark = JournalRecordBytes(kJournalComplete, {});
    std::vector<unsigned char> spoilt = mark;
    spoilt.back() ^= 1;
    const struct {
        const char* label;
        std::vector<std::vector<unsigned char>> records;
        bool read;
        size_t replacements;
        bool complete;
    } rows[] = {
        {"a run's", {Folders({L""}), Replacing(), mark}, true, 1, true},
        {"with folders made, twice", {Folders({L"a\\b"}), Made({L"a", L"a\\b"}), Made({L"c"}), Replacing(), mark},
         true, 1, true},
        {"cut in its last record", {Folders({L""}), Replacing(), {mark.begin(), mark.end() - 1}}, true, 1, false},
        {"a spoilt last record", {Folders({L""}), Replacing(), spoilt}, true, 1, false},
        {"replacements before the folders", {Replacing(), Folders({L""})}, false, 0, false},
        {"folders twice", {Folders({L""}), Folders({L"sub"})}, false, 0, false},
        {"a folder twice", {Folders({L"sub", L"sub"})}, false, 0, false},
        {"replacements twice", {Folders({L""}), Replacing(), Replacing()}, false, 0, false},
        {"an unknown kind", {Folders({L""}), JournalRecordBytes(JournalRecord(9), {})}, false, 0, false},
    };
    for (const auto& row : rows) {
        std::vector<unsigned char> bytes = magic;
        for (const auto& record : row.records)
            bytes.insert(bytes.end(), record.begin(), record.end());
        JournalContents contents;
        EXPECT_EQ(ParseJournal(bytes.data(), bytes.size(), kRun, contents), row.read) << row.label;
        if (!row.read)
            continue;
        EXPECT_EQ(contents.replacements.size(), row.replacements) << row.label;
        EXPECT_EQ(contents.complete, row.complete) << row.label;
        EXPECT_EQ(contents.length, row.complete ? bytes.size() : bytes.size() - row.records.back().size())
            << row.label;
    }
}
