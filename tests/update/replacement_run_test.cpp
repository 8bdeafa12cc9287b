#include "update/replacement_run.h"
#include "update/item_step.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "base/exceptions.h"
#include "journal/journal_voucher.h"
#include "journal/recovery.h"
#include "tests/support/folder_link.h"
#include "tests/support/message_box_answerer.h"
#include "tests/support/scratch_dir.h"
#include "tests/support/wait.h"
#include <thread>

namespace {

// replacement as a run plans it: its kept old file to hold old.
JournalReplacement Kept(JournalReplacement replacement, const std::string& old)
{
    replacement.backupSize = old.size();
    replacement.backupDigest = Sha256::Of(old.data(), old.size());
    return replacement;
}

// An update folder and an install folder; the update folder is current.
class Folders : public ::testing::Test {
protected:
    Folders() : source(scratch.Path("update")), install(scratch.Path("install")), here(Make(source))
    {
        CreateDirectoryW(Wide(install).c_str(), nullptr);
    }

    static const std::string& Make(const std::string& folder)
    {
        CreateDirectoryW(Wide(folder).c_str(), nullptr);
        return folder;
    }

    std::string Installed(const std::string& name) { return ReadFileBytes(install + "\\" + name); }

    // name: "new <name>" shipped; "old <name>" installed unless fresh.
    void Stage(const std::string& name, bool fresh = false)
    {
        WriteFileBytes(source + "\\" + name, "new " + name);
        if (!fresh)
            WriteFileBytes(install + "\\" + name, "old " + name);
    }

    // The run's records of names, their targets in the install folder.
    std::vector<ItemRecord> Items(const std::vector<const char*>& names)
    {
        std::vector<String> listed(names.size());
        for (size_t i = 0; i < names.size(); ++i)
            listed[i].Assign(names[i]);
        std::vector<ItemRecord> items = MakeItemRecords(listed);
        for (ItemRecord& item : items)
            item.target = ItemTarget(Wide(install), item.name);
        return items;
    }

    ScratchDir scratch;
    std::string source, install;
    CurrentDirectory here;
};

}  // namespace

TEST_F(Folders, AllOrNothingPutsEverythingInPlaceOrNothing)
{
    const struct {
        const char* label;
        bool readOnlyThird;  // its prompt comes while the copies are made
        bool holdFirst;      // held without sharing once all copies are made
        std::vector<int> answers;
    } rows[] = {
        {"success", false, false, {}},
        {"abort at the third item's prompt", true, false, {IDABORT}},
        {"ignore there ends it as abort does", true, false, {IDIGNORE}},
        {"a replacement that does not succeed", false, true, {IDABORT}},
        {"ignore there ends it too", false, true, {IDIGNORE}},
    };
    for (const auto& row : rows) {
        Stage("a.txt");
        Stage("sub\\b.txt");
        Stage("c.txt");
        Stage("d.txt", true);
        if (row.readOnlyThird)
            SetFileAttributesW(Wide(install + "\\c.txt").c_str(), FILE_ATTRIBUTE_READONLY);
        const std::vector<ItemRecord> items = Items({"a.txt", "sub\\b.txt", "c.txt", "d.txt"});
        MessageBoxAnswerer answerer(row.answers);
        HANDLE held = INVALID_HANDLE_VALUE;
        bool raised = false;
        try {
            RunTally tally;
            ReplacementRun update(Wide(install), items, true, tally);
            for (const ItemRecord& item : items)
                update.Apply(item, nullptr, nullptr);
            EXPECT_EQ(Installed("a.txt"), "old a.txt") << row.label << ": nothing before the commit";
            if (row.holdFirst)
                held = CreateFileW(Wide(install + "\\a.txt").c_str(), GENERIC_READ, 0, nullptr,
                                   OPEN_EXISTING, 0, nullptr);
            update.Commit();
        } catch (const OCErrorException&) {
            raised = true;
        }
        if (held != INVALID_HANDLE_VALUE)
            CloseHandle(held);
        SetFileAttributesW(Wide(install + "\\c.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
        // Ignore cannot leave an item out of an all-or-nothing update.
        const bool completes = row.answers.empty();
        EXPECT_EQ(raised, !completes) << row.label;
        const std::string state = completes ? "new " : "old ";
        EXPECT_EQ(Installed("a.txt"), state + "a.txt") << row.label;
        EXPECT_EQ(Installed("sub\\b.txt"), state + "sub\\b.txt") << row.label;
        EXPECT_EQ(Installed("c.txt"), row.readOnlyThird ? "old c.txt" : state + "c.txt") << row.label;
        EXPECT_EQ(Installed("d.txt"), completes ? "new d.txt" : "<missing>") << row.label;
        EXPECT_EQ(UpdateLeftovers(install), "") << row.label;
        EXPECT_EQ(answerer.boxes.size(), row.answers.size()) << row.label;
        RemoveTree(install);
        CreateDirectoryW(Wide(install).c_str(), nullptr);
    }
}

TEST_F(Folders, ItemByItemLeavesNothingBehind)
{
    Stage("a.txt");
    Stage("sub\\b.txt", true);
    const std::vector<ItemRecord> items = Items({"a.txt", "sub\\b.txt"});
    {
        RunTally tally;
        ReplacementRun update(Wide(install), items, false, tally);
        update.Apply(items[0], nullptr, nullptr);
        EXPECT_EQ(Installed("a.txt"), "new a.txt") << "in place at once";
        update.Apply(items[1], nullptr, nullptr);
        update.Commit();
    }
    EXPECT_EQ(Installed("sub\\b.txt"), "new sub\\b.txt");
    EXPECT_EQ(UpdateLeftovers(install), "");
}

// What an interrupted run left, made by hand from its journal, and what the
// next run makes of it. Items: a.txt and b.txt installed, c.txt new.
TEST_F(Folders, RecoveryFinishesWhatAnInterruptedRunLeft)
{
    enum Where { Old, New, None };
    const struct {
        const char* label;
        bool allOrNothing;
        int replaced;        // items whose copies took their places
        bool movedAway;      // the next item's old bytes kept under its backup name
        JournalRecord mark;  // 0: none
        Where a, b, c;       // expected afterwards
    } rows[] = {
        {"item by item: the copies go", false, 0, false, JournalRecord(0), Old, Old, None},
        {"before any replacement", true, 0, false, JournalRecord(0), Old, Old, None},
        {"one replaced", true, 1, false, JournalRecord(0), Old, Old, None},
        {"one replaced, the next moved away", true, 1, true, JournalRecord(0), Old, Old, None},
        {"all replaced, no mark yet", true, 3, false, JournalRecord(0), New, New, New},
        {"marked complete", true, 3, false, kJournalComplete, New, New, New},
        {"putting back had begun", true, 3, false, kJournalRollingBack, Old, Old, None},
    };
    const char* const names[] = {"a.txt", "b.txt", "c.txt"};
    for (const auto& row : rows) {
        // The journal is closed and stays on disk, as if the process had
        // been killed.
        std::unique_ptr<UpdateJournal> journal(new UpdateJournal);
        ASSERT_TRUE(journal->Create(Wide(install), row.allOrNothing, {L""})) << row.label;
        const std::string prefix(journal->RunPrefix().begin(), journal->RunPrefix().end());
        std::vector<JournalReplacement> plan;
        for (int i = 0; i < 3; ++i) {
            const std::string copy = prefix + "000" + std::to_string(i) + ".tmp";
            const std::string backup = i < 2 ? prefix + "000" + std::to_string(i) + ".bak" : "";
            if (i < 2)
                WriteFileBytes(install + "\\" + names[i], std::string("old ") + names[i]);
            WriteFileBytes(install + "\\" + copy, std::string("new ") + names[i]);
            plan.push_back(Kept(JournalReplacement(Wide(names[i]), Wide(copy), Wide(backup)),
                                std::string("old ") + names[i]));
        }
        if (row.allOrNothing) {
            ASSERT_TRUE(journal->WriteReplacing(plan)) << row.label;
        }
        for (int i = 0; i < 3; ++i) {
            const std::wstring target = Wide(install + "\\" + names[i]);
            const bool replace = i < row.replaced, moveAway = i == row.replaced && row.movedAway;
            if ((replace || moveAway) && !plan[i].backup.empty())
                CreateHardLinkW((Wide(install) + L"\\" + plan[i].backup).c_str(), target.c_str(),
                                nullptr);
            if (replace)
                MoveFileExW((Wide(install) + L"\\" + plan[i].copy).c_str(), target.c_str(),
                            MOVEFILE_REPLACE_EXISTING);
        }
        if (row.mark)
            journal->WriteMark(row.mark);
        journal.reset();
        // A file of somebody else's named like the run's: never touched.
        WriteFileBytes(install + "\\upd0001.tmp", "not ours");

        RecoverInterruptedUpdates(Wide(install));

        const Where expected[] = {row.a, row.b, row.c};
        for (int i = 0; i < 3; ++i) {
            const std::string want = expected[i] == None  ? "<missing>"
                                     : expected[i] == Old ? std::string("old ") + names[i]
                                                          : std::string("new ") + names[i];
            EXPECT_EQ(Installed(names[i]), want) << row.label << ", " << names[i];
        }
        EXPECT_EQ(UpdateLeftovers(install), "upd0001.tmp ") << row.label;
        RemoveTree(install);
        CreateDirectoryW(Wide(install).c_str(), nullptr);
    }
}

// Only the journal the registry vouches for is read, and only when its
// bytes are the ones vouched for; nothing else is acted on or removed.
TEST_F(Folders, RecoveryReadsOnlyTheJournalItsVoucherNames)
{
    enum Change {
        Nothing,
        CutTheLastRecord,
        MarkNotAppended,
        ReplaceTheJournal,
        ForgetTheVoucher,
        RemoveTheJournal,
        PlantTheKeptFile,
    };
    const struct {
        const char* label;
        Change change;
        bool putBack;  // a.txt has its old bytes again
        bool journalStays, voucherStays;
    } rows[] = {
        {"as written", Nothing, true, false, false},
        {"its last record cut short by a crash", CutTheLastRecord, true, false, false},
        {"a mark vouched for, not appended: the previous digest", MarkNotAppended, true, false, false},
        {"the same name, other bytes", ReplaceTheJournal, false, true, true},
        {"no voucher: a planted journal", ForgetTheVoucher, false, true, false},
        {"the journal gone", RemoveTheJournal, false, false, false},
        // Never put in the target's place; the run ends in its error box.
        {"a kept file of other bytes", PlantTheKeptFile, false, true, true},
    };
    for (const auto& row : rows) {
        std::unique_ptr<UpdateJournal> journal(new UpdateJournal);
        ASSERT_TRUE(journal->Create(Wide(install), true, {L""})) << row.label;
        const std::wstring folder = Wide(install) + L"\\", prefix = journal->RunPrefix();
        // Killed after a.txt took its new bytes, before b.txt did.
        WriteFileBytes(install + "\\a.txt", "old a.txt");
        WriteFileBytes(install + "\\b.txt", "old b.txt");
        const std::vector<JournalReplacement> plan = {
            Kept(JournalReplacement(L"a.txt", prefix + L"0000.tmp", prefix + L"0000.bak"), "old a.txt"),
            Kept(JournalReplacement(L"b.txt", prefix + L"0001.tmp", prefix + L"0001.bak"), "old b.txt")};
        ASSERT_TRUE(journal->WriteReplacing(plan)) << row.label;
        WriteFileBytes(install + "\\" + std::string(plan[1].copy.begin(), plan[1].copy.end()), "new b.txt");
        CreateHardLinkW((folder + plan[0].backup).c_str(), (folder + L"a.txt").c_str(), nullptr);
        WriteFileBytes(install + "\\a.txt.new", "new a.txt");
        MoveFileExW((folder + L"a.txt.new").c_str(), (folder + L"a.txt").c_str(), MOVEFILE_REPLACE_EXISTING);
        const std::string name = "upd" + std::string(prefix.begin() + 3, prefix.end() - 1) + ".jnl";
        const std::string path = install + "\\" + name, bytes = ReadFileBytes(path);
        // Had it been written, the mark would keep the new bytes.
        if (row.change == MarkNotAppended) {
            ASSERT_TRUE(journal->WriteMark(kJournalComplete)) << row.label;
        }
        journal.reset();
        if (row.change == CutTheLastRecord || row.change == MarkNotAppended)
            WriteFileBytes(path, row.change == MarkNotAppended ? bytes : bytes + std::string("\2\0\0\0", 4));
        if (row.change == ReplaceTheJournal)
            WriteFileBytes(path, bytes.substr(0, 20) + "x" + bytes.substr(21));
        if (row.change == ForgetTheVoucher)
            DropJournalVoucher(JournalFolderKey(Wide(install)));
        if (row.change == RemoveTheJournal)
            DeleteFileW(Wide(path).c_str());
        if (row.change == PlantTheKeptFile)
            WriteFileBytes(install + "\\" + std::string(plan[0].backup.begin(), plan[0].backup.end()), "planted!!");

        std::string raised;
        try {
            RecoverInterruptedUpdates(Wide(install));
        } catch (const OCErrorException& failure) {
            raised = TextOf(failure.message);
        }
        EXPECT_EQ(raised, row.change != PlantTheKeptFile ? ""
                                                         : "ファイル " + install + "\\" +
                                                               std::string(plan[0].backup.begin(), plan[0].backup.end()) +
                                                               " が壊れているか、書き換えられています。")
            << row.label;

        EXPECT_EQ(Installed("a.txt"), row.putBack ? "old a.txt" : "new a.txt") << row.label;
        EXPECT_EQ(FileExists(path), row.journalStays) << row.label;
        JournalVoucher voucher;
        EXPECT_EQ(voucher.Read(JournalFolderKey(Wide(install))), row.voucherStays) << row.label;
        DropJournalVoucher(JournalFolderKey(Wide(install)));
        RemoveTree(install);
        CreateDirectoryW(Wide(install).c_str(), nullptr);
    }
}

// A recovery cut short (here: the old bytes of a.txt held by another
// program) leaves its mark, so the next one still puts everything back,
// although the copies that told what was replaced are gone by then.
TEST_F(Folders, RecoveryCutShortStillPutsBackNextTime)
{
    std::unique_ptr<UpdateJournal> journal(new UpdateJournal);
    ASSERT_TRUE(journal->Create(Wide(install), true, {L""}));
    const std::wstring prefix = journal->RunPrefix();
    std::vector<JournalReplacement> plan;
    for (const char* name : {"a.txt", "b.txt"}) {
        WriteFileBytes(install + "\\" + name, std::string("old ") + name);
        const std::wstring n(1, wchar_t(name[0] - 'a' + 'A'));
        plan.push_back(Kept(JournalReplacement(Wide(name), prefix + L"000" + n + L".tmp",
                                               prefix + L"000" + n + L".bak"),
                            std::string("old ") + name));
        WriteFileBytes(install + "\\" + std::string(plan.back().copy.begin(), plan.back().copy.end()),
                       std::string("new ") + name);
    }
    ASSERT_TRUE(journal->WriteReplacing(plan));
    const std::wstring folder = Wide(install) + L"\\";
    // Killed after a.txt took its new bytes.
    CreateHardLinkW((folder + plan[0].backup).c_str(), (folder + L"a.txt").c_str(), nullptr);
    MoveFileExW((folder + plan[0].copy).c_str(), (folder + L"a.txt").c_str(), MOVEFILE_REPLACE_EXISTING);
    journal.reset();

    HANDLE held = CreateFileW((folder + plan[0].backup).c_str(), GENERIC_READ, FILE_SHARE_READ,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    RecoverInterruptedUpdates(Wide(install));
    CloseHandle(held);
    ASSERT_EQ(Installed("a.txt"), "new a.txt") << "the held old bytes could not be put back";
    RecoverInterruptedUpdates(Wide(install));

    EXPECT_EQ(Installed("a.txt"), "old a.txt");
    EXPECT_EQ(Installed("b.txt"), "old b.txt");
    EXPECT_EQ(UpdateLeftovers(install), "");
}

// Planted journals, as an attacker in a folder any user may write would
// leave them: nothing they name is touched, and they stay.
TEST_F(Folders, RecoveryLeavesJournalsThatNameWhatTheirRunDidNotMake)
{
    const std::string victim = scratch.Path("victim.txt");
    WriteFileBytes(victim, "victim");
    WriteFileBytes(install + "\\save.dat", "a user's");
    const struct {
        const char* label;
        JournalReplacement replacement;
        JournalRecord mark;
    } rows[] = {
        {"kept file outside, complete", {L"a.txt", L"", L"..\\victim.txt"}, kJournalComplete},
        {"a user's file as the kept one", {L"a.txt", L"", L"save.dat"}, kJournalComplete},
        {"target outside, rolling back", {L"..\\victim.txt", L"", L"save.dat"}, kJournalRollingBack},
    };
    for (const auto& row : rows) {
        std::unique_ptr<UpdateJournal> journal(new UpdateJournal);
        ASSERT_TRUE(journal->Create(Wide(install), true, {L""})) << row.label;
        JournalReplacement replacement = row.replacement;
        replacement.copy = journal->RunPrefix() + L"0000.tmp";
        ASSERT_TRUE(journal->WriteReplacing({replacement})) << row.label;
        ASSERT_TRUE(journal->WriteMark(row.mark)) << row.label;
        journal.reset();
        const std::string before = ListFolder(install);

        RecoverInterruptedUpdates(Wide(install));

        EXPECT_EQ(ReadFileBytes(victim), "victim") << row.label;
        EXPECT_EQ(Installed("save.dat"), "a user's") << row.label;
        EXPECT_EQ(ListFolder(install), before) << row.label;
        RemoveTree(install);
        CreateDirectoryW(Wide(install).c_str(), nullptr);
        WriteFileBytes(install + "\\save.dat", "a user's");
    }
}

// A folder below the install folder that is a link to elsewhere: the item is
// refused before anything is written there, in both modes, and so is one
// whose run folder would lie there.
TEST_F(Folders, NothingIsWrittenThroughALinkBelowTheInstallFolder)
{
    const std::string elsewhere = scratch.Path("elsewhere");
    CreateDirectoryW(Wide(elsewhere).c_str(), nullptr);
    ASSERT_TRUE(MakeFolderLink(install + "\\sub", elsewhere));
    for (const char* name : {"sub\\v.txt", "sub/v.txt", "sub\\deeper\\v.txt"}) {
        for (bool allOrNothing : {false, true}) {
            Stage("a.txt");
            WriteFileBytes(source + "\\sub\\deeper\\v.txt", "new");
            WriteFileBytes(source + "\\sub\\v.txt", "new");
            const std::vector<ItemRecord> items = Items({"a.txt", name});
            std::string message;
            try {
                RunTally tally;
                ReplacementRun update(Wide(install), items, allOrNothing, tally);
                for (const ItemRecord& item : items)
                    update.Apply(item, nullptr, nullptr);
                update.Commit();
            } catch (const OCErrorException& failure) {
                message = failure.message.text;
                EXPECT_EQ(failure.code, uint32_t(ERROR_CANT_RESOLVE_FILENAME)) << name;
            }
            EXPECT_EQ(message, "ファイル " + std::string(name) + " の指定が正しくありません。")
                << name;
            EXPECT_EQ(ListFolder(elsewhere), "") << name << (allOrNothing ? ", all or nothing" : "");
            EXPECT_EQ(Installed("a.txt"), allOrNothing ? "old a.txt" : "new a.txt") << name;
        }
    }
}

// Recovery of a run of many items in sub, while another process swaps sub
// for a link to another folder half-way: what recovery removes, it removes
// through the folder it holds, never through the link.
TEST_F(Folders, RecoveryNeverFollowsAFolderSwappedForALink)
{
    const int items = 2000;
    const std::string outside = scratch.Path("outside");
    CreateDirectoryW(Wide(outside).c_str(), nullptr);
    CreateDirectoryW(Wide(install + "\\sub").c_str(), nullptr);
    std::unique_ptr<UpdateJournal> journal(new UpdateJournal);
    ASSERT_TRUE(journal->Create(Wide(install), true, {L"sub"}));
    std::vector<JournalReplacement> plan;
    for (int i = 0; i < items; ++i) {
        const std::string name = "f" + std::to_string(i) + ".txt";
        WriteFileBytes(install + "\\sub\\" + name, "new");
        WriteFileBytes(outside + "\\" + name, "victim");
        plan.push_back(JournalReplacement(L"sub\\" + Wide(name), L"sub\\" + journal->RunPrefix() + std::to_wstring(1000 + i) + L".tmp", L""));
    }
    // One copy never took its place: every target new to the folder goes.
    WriteFileBytes(install + "\\" + std::string(plan[0].copy.begin(), plan[0].copy.end()), "copy");
    ASSERT_TRUE(journal->WriteReplacing(plan));
    journal.reset();

    // Last first: once the last target is gone, recovery is under way.
    const std::string last = install + "\\sub\\f" + std::to_string(items - 1) + ".txt";
    std::thread swapper([&] {
        if (!WaitUntil([&] { return !FileExists(last); }))
            return;
        if (MoveFileW(Wide(install + "\\sub").c_str(), Wide(install + "\\sub.moved").c_str()))
            MakeFolderLink(install + "\\sub", outside);
    });
    RecoverInterruptedUpdates(Wide(install));
    swapper.join();

    for (int i = 0; i < items; ++i)
        ASSERT_EQ(ReadFileBytes(outside + "\\f" + std::to_string(i) + ".txt"), "victim") << i;
}
