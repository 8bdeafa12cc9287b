// The per-item update decision and each item's step, against real files:
// version resources from fixture libraries, archives from BuildPak.

#include <gtest/gtest.h>

#include <functional>
#include "base/exceptions.h"

#include "base/text_932.h"
#include "update/item_step.h"
#include "update/update_decision.h"
#include "tests/support/archive_writer.h"
#include "tests/support/folder_link.h"
#include "tests/support/scratch_dir.h"

namespace {

// A listed item's record, its target in installFolder.
ItemRecord Record(const char* item, const std::wstring& installFolder)
{
    String listed;
    listed.Assign(item);
    ItemRecord record(listed);
    record.target = ItemTarget(installFolder, record.name);
    return record;
}

// A fixture library built beside this test program: fixtures\<name>.
std::string FixturePath(const std::string& name)
{
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path);
    folder.erase(folder.rfind('\\') + 1);
    return folder + "fixtures\\" + name;
}

// What lies at a path before the decision.
enum class Kind { Missing, Version19, Version110, Version110Upper, Version110Lower, NoVersion, Pak, PakV0 };

struct Content {
    Kind kind;
    int32_t revision;
};

Content Missing() { return {Kind::Missing, 0}; }
Content V19() { return {Kind::Version19, 0}; }
Content V110() { return {Kind::Version110, 0}; }
Content V110B() { return {Kind::Version110Upper, 0}; }
Content V110b() { return {Kind::Version110Lower, 0}; }
Content Plain() { return {Kind::NoVersion, 0}; }
Content Pak(int32_t revision) { return {Kind::Pak, revision}; }
Content PakV0() { return {Kind::PakV0, 0}; }

PakEntry Readme()
{
    PakEntry entry;
    entry.name = "readme.txt";
    entry.data = "hello";
    return entry;
}

std::string Bytes(const Content& content)
{
    switch (content.kind) {
    case Kind::Version19: return ReadFileBytes(FixturePath("version_1_9.dll"));
    case Kind::Version110: return ReadFileBytes(FixturePath("version_1_10.dll"));
    case Kind::Version110Upper: return ReadFileBytes(FixturePath("version_1_10_upper.dll"));
    case Kind::Version110Lower: return ReadFileBytes(FixturePath("version_1_10_lower.dll"));
    case Kind::NoVersion: return "plain bytes without any version resource";
    case Kind::Pak: {
        PakSpec spec;
        spec.version = 2;
        spec.revision = content.revision;
        spec.entries.push_back(Readme());
        return BuildPak(spec);
    }
    case Kind::PakV0: {
        PakSpec spec;
        spec.version = 0;
        spec.entries.push_back(Readme());
        return BuildPak(spec);
    }
    case Kind::Missing: break;
    }
    return "";
}

void Place(const std::string& path, const Content& content)
{
    if (content.kind != Kind::Missing)
        WriteFileBytes(path, Bytes(content));
}

struct DecisionRow {
    const char* item;
    Content source;
    Content target;
    bool applied;
};

// Sources live in the current folder under their listed names, targets in
// a separate destination folder, as in a real run.
class ItemDecision : public ::testing::Test {
protected:
    ScratchDir scratch;
    std::string sourceFolder = scratch.Path("source");
    std::string destinationFolder = scratch.Path("installed");

    void SetUp() override
    {
        CreateDirectoryA(sourceFolder.c_str(), nullptr);
        CreateDirectoryA(destinationFolder.c_str(), nullptr);
    }
};

TEST_F(ItemDecision, FixturesCarryTheirVersions)
{
    // Guards the table below: a fixture without its version would make the
    // version rows pass for the wrong reason.
    for (const char* name : {"version_1_9.dll", "version_1_10.dll"})
        EXPECT_NE("<missing>", ReadFileBytes(FixturePath(name))) << name;
}

TEST_F(ItemDecision, FollowsTheVersionTable)
{
    const DecisionRow rows[] = {
        {"app.exe", V19(), V110(), true},       // text order: "1.9" >= "1.10"
        {"app.exe", V110(), V19(), false},
        {"app.exe", V19(), V19(), true},        // equal versions are applied again
        {"app.exe", V110(), Missing(), true},
        {"app.exe", V110(), Plain(), true},     // version-less target
        {"app.exe", Plain(), V19(), false},     // version-less source never wins
        {"app.exe", Plain(), Plain(), true},
        {"APP.EXE", V110(), V19(), false},      // extension case does not matter
        {"Setup.Exe", V19(), V110(), true},
        {"lib.dll", V110(), V19(), false},
        {"LIB.DLL", V19(), V110(), true},
        {"app.exe", V110B(), V110b(), true},    // version texts compared without case
        {"app.exe", V110b(), V110B(), true},
        {"app.exe", V110(), V110b(), false},    // a proper prefix sorts first
        {"app.exe", V110b(), V110(), true},
        {"bin\\tool.exe", V110(), V19(), false},
        {"data.pak", Pak(9), Pak(10), true},    // "9" >= "10" as text
        {"data.pak", Pak(10), Pak(9), false},
        {"data.pak", Pak(5), Pak(5), true},
        {"data.pak", Pak(3), Missing(), true},
        {"data.pak", PakV0(), Pak(3), false},   // a version-0 archive reads "0"
        {"DATA.PAK", Pak(10), Pak(9), false},
        {"data.pak.bak", Pak(1), Pak(9), true}, // extension "bak": no check
        {"old.dir\\readme", Plain(), V19(), true},
        {"noext", Plain(), V19(), true},
        {"notes.txt", V19(), V110(), true},
        {"app.exe.txt", V19(), V110(), true},
        {"dot.", V19(), V110(), true},
    };
    for (const DecisionRow& row : rows) {
        ScratchDir rowScratch;
        const std::string sourceDir = rowScratch.Path("source");
        const std::string targetDir = rowScratch.Path("installed");
        CreateDirectoryA(sourceDir.c_str(), nullptr);
        Place(sourceDir + "\\" + row.item, row.source);
        Place(targetDir + "\\" + row.item, row.target);
        CurrentDirectory inSource(sourceDir);
        const std::string target = targetDir + "\\" + row.item;
        UpdateDecision decision;
        EXPECT_EQ(row.applied, DecideUpdate(row.item, Wide(target), decision))
            << "item " << row.item << ", row " << (&row - rows);
    }
}

// One item's whole turn, as the updater takes it and as the tool predicts
// it: each row lays out the source and what lies where the target goes.
TEST_F(ItemDecision, StepGivesTheTurnsVerdict)
{
    PakSpec cut;
    cut.version = 2;
    cut.revision = 7;
    cut.entries.push_back(Readme());
    const std::string whole = BuildPak(cut);
    struct Row {
        const char* label;
        const char* item;
        std::function<void(const std::string& source, const std::string& target)> lay;
        ItemVerdict taken;      // DecideItem (Stop: it raises)
        ItemVerdict predicted;  // DecideItemKeepingFailure, then PredictCopy
        PromptCause prompt;
    };
    const auto file = [](const std::string& path, const std::string& bytes) { WriteFileBytes(path, bytes); };
    const std::vector<Row> rows = {
        {"refused", "..\\x.txt", [](const std::string&, const std::string&) {}, VerdictRefused, VerdictRefused, PromptNone},
        {"missing", "gone.txt", [](const std::string&, const std::string&) {}, VerdictMissing, VerdictMissing, PromptNone},
        {"kept by its version", "app.exe",
         [&](const std::string& s, const std::string& t) { Place(s, V110()); Place(t, V19()); },
         VerdictSkip, VerdictSkip, PromptNone},
        {"applied", "a.txt", [&](const std::string& s, const std::string&) { file(s, "abc"); },
         VerdictApply, VerdictApply, PromptNone},
        {"a source folder", "dir.txt",
         [](const std::string& s, const std::string&) { CreateDirectoryA(s.c_str(), nullptr); },
         VerdictApply, VerdictPrompt, PromptSourceIsFolder},
        {"a folder at the target", "a.txt",
         [&](const std::string& s, const std::string& t) { file(s, "abc"); CreateDirectoryA(t.c_str(), nullptr); },
         VerdictApply, VerdictPrompt, PromptTargetIsFolder},
        {"a read-only target", "a.txt",
         [&](const std::string& s, const std::string& t) {
             file(s, "abc");
             file(t, "old");
             SetFileAttributesA(t.c_str(), FILE_ATTRIBUTE_READONLY);
         },
         VerdictApply, VerdictPrompt, PromptTargetReadOnly},
        {"a file where the target's folder goes", "sub\\a.txt",
         [&](const std::string& s, const std::string& t) {
             file(s, "abc");
             file(t.substr(0, t.rfind('\\')), "a file");
         },
         VerdictApply, VerdictPrompt, PromptFolderIsFile},
        {"a damaged archive", "data.pak",
         [&](const std::string& s, const std::string&) { file(s, whole.substr(0, whole.size() - 2)); },
         VerdictStop, VerdictStop, PromptNone},
    };
    for (const Row& row : rows) {
        ScratchDir rowScratch;
        const std::string sourceDir = rowScratch.Path("source"), targetDir = rowScratch.Path("installed");
        CreateDirectoryA(sourceDir.c_str(), nullptr);
        CreateDirectoryA(targetDir.c_str(), nullptr);
        row.lay(sourceDir + "\\" + row.item, targetDir + "\\" + row.item);
        CurrentDirectory inSource(sourceDir);
        ItemRecord taken = Record(row.item, Wide(targetDir));
        EXPECT_EQ(Wide(targetDir + "\\" + row.item), taken.target) << row.label;
        if (row.taken == VerdictStop) {
            EXPECT_THROW(DecideItem(taken, true), OCErrorException) << row.label;
        } else {
            EXPECT_EQ(row.taken, DecideItem(taken, true)) << row.label;
        }
        ItemRecord predicted = Record(row.item, Wide(targetDir));
        DecideItemKeepingFailure(predicted, true);
        EXPECT_EQ(row.predicted, PredictCopy(predicted)) << row.label;
        EXPECT_EQ(row.prompt, predicted.prompt) << row.label;
        if (row.predicted == VerdictStop) {
            EXPECT_FALSE(predicted.stopMessage.empty()) << row.label;
        }
        if (row.predicted == VerdictApply) {
            EXPECT_EQ(3u, predicted.size) << row.label;
        }
        SetFileAttributesA((targetDir + "\\" + row.item).c_str(), FILE_ATTRIBUTE_NORMAL);
    }
}

}

// Which listings name a target that comes again later, as the system
// compares names: only the last of them is applied.
TEST(ItemRecord, ListedAgainLaterAsTheSystemComparesNames)
{
    const struct {
        std::vector<const char*> items;
        std::vector<bool> again;
    } rows[] = {
        {{"a.txt", "b.txt"}, {false, false}},
        {{"a.txt", "A.TXT"}, {true, false}},
        {{"a.txt", "b.txt", "a.txt", "A.txt"}, {true, false, true, false}},
        {{"sub\\a.txt", "SUB/A.TXT"}, {true, false}},
        {{"データ\\地図.map", "データ\\地図.MAP", "データ\\地図"}, {true, false, false}},
        {{"a.txt", "a.txt "}, {false, false}},
    };
    for (const auto& row : rows) {
        std::vector<std::wstring> names;
        for (const char* item : row.items)
            names.push_back(WideFrom932(item));
        EXPECT_EQ(ListedAgainLater(names), row.again) << row.items[0] << " ... " << row.items.back();
    }
}

// plan predicts the updater's refusal to write through a link below the
// install folder.
TEST(ItemRecord, PredictsTheRefusalOfALinkBelowTheInstallFolder)
{
    ScratchDir scratch;
    const std::string update = scratch.Path("update"), install = scratch.Path("install");
    CreateDirectoryA(update.c_str(), nullptr);
    CreateDirectoryA(install.c_str(), nullptr);
    CreateDirectoryA(scratch.Path("elsewhere").c_str(), nullptr);
    WriteFileBytes(update + "\\sub\\v.txt", "new");
    ASSERT_TRUE(MakeFolderLink(install + "\\sub", scratch.Path("elsewhere")));
    CurrentDirectory inUpdate(update);
    ItemRecord record = Record("sub\\v.txt", Wide(install));
    DecideItemKeepingFailure(record, true);
    EXPECT_EQ(PredictCopy(record), VerdictStop);
    EXPECT_EQ(record.error, DWORD(ERROR_CANT_RESOLVE_FILENAME));
    EXPECT_EQ(record.stopMessage, Wide("ファイル sub\\v.txt の指定が正しくありません。"));
}
