// The native-file layer: each kind of open against what may lie at a name,
// with the system's error it must give, and the reads built on them.

#include <gtest/gtest.h>
#include <windows.h>
#include "system/native_file.h"
#include "tests/support/folder_link.h"
#include "tests/support/scratch_dir.h"
#include <functional>

namespace {

// A scratch folder with one of each thing a name may hold, and two files
// another program has open: one a writer that shares everything, one held
// alone.
class NativeFileTest : public ::testing::Test {
protected:
    ScratchDir scratch;
    HANDLE writer = INVALID_HANDLE_VALUE;
    HANDLE holder = INVALID_HANDLE_VALUE;

    void SetUp() override
    {
        WriteFileBytes(scratch.Path("file.txt"), "kept");
        WriteFileBytes(scratch.Path("empty.txt"), "");
        WriteFileBytes(scratch.Path("read-only.txt"), "kept");
        SetFileAttributesW(Wide(scratch.Path("read-only.txt")).c_str(), FILE_ATTRIBUTE_READONLY);
        CreateDirectoryW(Wide(scratch.Path("folder")).c_str(), nullptr);
        WriteFileBytes(scratch.Path("victim.txt"), "victim");
        ASSERT_TRUE(MakeFileLink(scratch.Path("dangling"), scratch.Path("victim.txt")));
        DeleteFileW(Wide(scratch.Path("victim.txt")).c_str());
        WriteFileBytes(scratch.Path("written.txt"), "being written");
        writer = CreateFileW(Wide(scratch.Path("written.txt")).c_str(), GENERIC_WRITE,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, 0, nullptr);
        WriteFileBytes(scratch.Path("held.txt"), "held");
        holder = CreateFileW(Wide(scratch.Path("held.txt")).c_str(), GENERIC_READ, 0, nullptr,
                             OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(writer, INVALID_HANDLE_VALUE);
        ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    }

    void TearDown() override
    {
        CloseHandle(writer);
        CloseHandle(holder);
    }

    FilePlace Place(const std::string& name) const
    {
        return FilePlace(Wide(scratch.Path()), Wide(name));
    }
};

void Count(uint32_t bytes, void* user)
{
    *static_cast<uint64_t*>(user) += bytes;
}

}  // namespace

TEST_F(NativeFileTest, EachOpenGivesTheSystemsErrorForWhatLiesThere)
{
    const struct {
        FileOpen how;
        const char* name;
        DWORD error;  // 0: opened
    } rows[] = {
        {FileOpen::Read, "file.txt", 0},
        {FileOpen::Read, "missing.txt", ERROR_FILE_NOT_FOUND},
        {FileOpen::Read, "no folder\\file.txt", ERROR_PATH_NOT_FOUND},
        {FileOpen::Read, "folder", ERROR_ACCESS_DENIED},
        {FileOpen::Read, "written.txt", ERROR_SHARING_VIOLATION},
        {FileOpen::ReadBesideWriters, "written.txt", 0},
        {FileOpen::ReadBesideWriters, "held.txt", ERROR_SHARING_VIOLATION},
        {FileOpen::CreateNew, "new.txt", 0},
        {FileOpen::CreateNew, "file.txt", ERROR_FILE_EXISTS},
        {FileOpen::CreateNew, "dangling", ERROR_FILE_EXISTS},
        {FileOpen::CreateProvisional, "file.txt", ERROR_FILE_EXISTS},
        {FileOpen::CreateProvisional, "dangling", ERROR_FILE_EXISTS},
        {FileOpen::WriteExisting, "file.txt", 0},
        {FileOpen::WriteExisting, "missing.txt", ERROR_FILE_NOT_FOUND},
        {FileOpen::WriteAlone, "file.txt", 0},
        {FileOpen::WriteAlone, "written.txt", ERROR_SHARING_VIOLATION},
        {FileOpen::ProbeReplace, "written.txt", 0},
        {FileOpen::ProbeReplace, "read-only.txt", ERROR_ACCESS_DENIED},
        {FileOpen::ProbeReplace, "folder", ERROR_ACCESS_DENIED},
        {FileOpen::ProbeReplace, "held.txt", ERROR_SHARING_VIOLATION},
        {FileOpen::ProbeMove, "held.txt", ERROR_SHARING_VIOLATION},
        {FileOpen::HoldFolder, "folder", 0},
        {FileOpen::HoldFolder, "missing", ERROR_FILE_NOT_FOUND},
        {FileOpen::FollowFolder, "folder", 0},
    };
    for (const auto& row : rows) {
        Handle file;
        SetLastError(0);
        const bool opened = OpenFile(row.how, Place(row.name), file);
        EXPECT_EQ(row.error == 0, opened) << row.name << " " << int(row.how);
        EXPECT_EQ(row.error == 0, file.Valid()) << row.name << " " << int(row.how);
        if (row.error != 0) {
            EXPECT_EQ(row.error, GetLastError()) << row.name << " " << int(row.how);
        }
    }
    // Nothing was created, truncated or written through a link.
    EXPECT_EQ("kept", ReadFileBytes(scratch.Path("file.txt")));
    EXPECT_FALSE(FileExists(scratch.Path("victim.txt")));
    EXPECT_TRUE(FileExists(scratch.Path("new.txt")));
}

TEST_F(NativeFileTest, AWholeFileIsReadOrSaysWhyNot)
{
    const struct {
        const char* name;
        uint64_t limit;
        FileOpen how;
        FileRead result;
        DWORD error;  // for all but Done
        const char* bytes;
    } rows[] = {
        {"file.txt", 4, FileOpen::Read, FileRead::Done, 0, "kept"},
        {"empty.txt", 0, FileOpen::Read, FileRead::Done, 0, ""},
        {"file.txt", 3, FileOpen::Read, FileRead::TooLarge, ERROR_FILE_TOO_LARGE, ""},
        {"missing.txt", 10, FileOpen::Read, FileRead::Missing, ERROR_FILE_NOT_FOUND, ""},
        {"no folder\\file.txt", 10, FileOpen::Read, FileRead::Missing, ERROR_PATH_NOT_FOUND, ""},
        {"folder", 10, FileOpen::Read, FileRead::Unreadable, ERROR_ACCESS_DENIED, ""},
        {"written.txt", 100, FileOpen::Read, FileRead::Unreadable, ERROR_SHARING_VIOLATION, ""},
        {"written.txt", 100, FileOpen::ReadBesideWriters, FileRead::Done, 0, "being written"},
    };
    for (const auto& row : rows) {
        std::vector<char> bytes;
        const FileRead result = ReadWholeFile(Place(row.name), row.limit, bytes, row.how);
        const DWORD error = GetLastError();
        EXPECT_EQ(int(row.result), int(result)) << row.name << " limit " << row.limit;
        if (row.result != FileRead::Done) {
            EXPECT_EQ(row.error, error) << row.name << " limit " << row.limit;
        }
        EXPECT_EQ(row.bytes, std::string(bytes.begin(), bytes.end())) << row.name;
    }
}

TEST_F(NativeFileTest, DigestsAreOfTheWholeFileAcrossChunks)
{
    const std::string large(600 * 1024 + 5, 'x');
    WriteFileBytes(scratch.Path("large.bin"), large);
    FileDigester digester;
    for (const auto& file : {std::make_pair("large.bin", large),
                             std::make_pair("empty.txt", std::string()),
                             std::make_pair("file.txt", std::string("kept"))}) {
        uint64_t size = 1;
        Sha256::Digest digest = {};
        const FileRead read = digester.Digest(Place(file.first), size, digest);
        EXPECT_EQ(int(FileRead::Done), int(read)) << file.first;
        EXPECT_EQ(file.second.size(), size) << file.first;
        EXPECT_EQ(Sha256::Hex(Sha256::Of(file.second.data(), file.second.size())),
                  Sha256::Hex(digest))
            << file.first;
    }
    uint64_t size = 0;
    Sha256::Digest digest = {};
    // Held open by the caller: at most the bytes asked for, each chunk told.
    Handle held;
    ASSERT_TRUE(OpenFile(FileOpen::Read, Place("large.bin"), held));
    uint64_t told = 0;
    const uint64_t most = 300 * 1024;
    EXPECT_EQ(int(FileRead::Done),
              int(digester.DigestOpen(held.Get(), most, size, digest, Count, &told)));
    EXPECT_EQ(most, size);
    EXPECT_EQ(most, told);
    EXPECT_EQ(Sha256::Hex(Sha256::Of(large.data(), most)), Sha256::Hex(digest));
    EXPECT_EQ(int(FileRead::Missing), int(digester.Digest(Place("missing.txt"), size, digest)));
    EXPECT_EQ(int(FileRead::Unreadable), int(digester.Digest(Place("written.txt"), size, digest)));
    EXPECT_EQ(DWORD(ERROR_SHARING_VIOLATION), GetLastError());
}

TEST_F(NativeFileTest, ANewFileIsRenamedOnlyOverWhatMayBeReplacedOrDeletedThroughItsHandle)
{
    Handle file, discarded;
    ASSERT_TRUE(OpenFile(FileOpen::CreateProvisional, Place("new.tmp"), file));
    EXPECT_FALSE(RenameOpenFile(file, Place("new.tmp"), Place("file.txt"), false));
    EXPECT_EQ(DWORD(ERROR_ALREADY_EXISTS), GetLastError());
    EXPECT_EQ("kept", ReadFileBytes(scratch.Path("file.txt")));
    ASSERT_TRUE(RenameOpenFile(file, Place("new.tmp"), Place("file.txt"), true));
    EXPECT_FALSE(FlushFileToDisk(Place("file.txt"))) << "open here: not alone";
    EXPECT_EQ(DWORD(ERROR_SHARING_VIOLATION), GetLastError());
    file.Reset();
    EXPECT_TRUE(FlushFileToDisk(Place("file.txt")));
    EXPECT_EQ("", ReadFileBytes(scratch.Path("file.txt")));
    EXPECT_FALSE(FileExists(scratch.Path("new.tmp")));

    ASSERT_TRUE(OpenFile(FileOpen::CreateProvisional, Place("discarded.tmp"), discarded));
    EXPECT_TRUE(DeleteOpenFile(discarded));
    discarded.Reset();
    EXPECT_FALSE(FileExists(scratch.Path("discarded.tmp")));
    EXPECT_TRUE(DeleteFileAt(Place("empty.txt")));
    EXPECT_FALSE(DeleteFileAt(Place("empty.txt")));
    EXPECT_EQ(DWORD(ERROR_FILE_NOT_FOUND), GetLastError());
}

// Every step below a held folder goes through its handle: made, linked,
// renamed and removed there, also once its name was swapped for a link to
// another folder (what a user of an install folder could do between two
// steps of the run). Under Wine a rename relative to a held folder looks its
// name up again, so renames are shown before the swap only.
TEST(NativeFileHeld, StepsGoThroughTheHeldFolderNotItsName)
{
    ScratchDir scratch;
    const std::wstring folder = Wide(scratch.Path("held")), outside = Wide(scratch.Path("outside"));
    CreateDirectoryW(folder.c_str(), nullptr);
    CreateDirectoryW(outside.c_str(), nullptr);
    Handle held;
    ASSERT_TRUE(OpenFile(FileOpen::HoldFolder, FilePlace(folder), held));
    const auto in = [&](const wchar_t* leaf) { return FilePlace(held.Get(), folder, leaf); };

    Handle made;
    ASSERT_TRUE(OpenFile(FileOpen::CreateProvisional, in(L"a.tmp"), made));
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(made.Get(), "new", 3, &written, nullptr));
    ASSERT_TRUE(LinkOpenFile(made, in(L"a.tmp"), in(L"a.bak")));
    EXPECT_FALSE(LinkOpenFile(made, in(L"a.tmp"), in(L"a.bak"))) << "a name is never replaced by a link";
    ASSERT_TRUE(RenameOpenFile(made, in(L"a.tmp"), in(L"a.txt"), true));
    made.Reset();
    EXPECT_EQ(ReadFileBytes(scratch.Path("held\\a.txt")), "new");
    EXPECT_EQ(ReadFileBytes(scratch.Path("held\\a.bak")), "new");
    EXPECT_FALSE(ExistsAt(in(L"a.tmp")));
    SetFileAttributesW((folder + L"\\a.bak").c_str(), FILE_ATTRIBUTE_READONLY);

    // The held folder's name now leads elsewhere (Windows refuses to rename
    // a held folder: nothing to show there).
    if (!MoveFileW(folder.c_str(), Wide(scratch.Path("moved")).c_str()))
        GTEST_SKIP() << "the held folder cannot be renamed";
    WriteFileBytes(scratch.Path("outside\\a.txt"), "victim");
    WriteFileBytes(scratch.Path("outside\\a.bak"), "victim");
    ASSERT_TRUE(MakeFolderLink(scratch.Path("held"), scratch.Path("outside")));
    // What Wine does then depends on what it has cached of the held
    // folder: a step reaches the held folder, or fails. Never the other.
    Handle file;
    const bool created = OpenFile(FileOpen::CreateNew, in(L"b.txt"), file);
    EXPECT_EQ(ReadFileBytes(scratch.Path("moved\\b.txt")), created ? "" : "<missing>");
    EXPECT_EQ(ReadFileBytes(scratch.Path("outside\\b.txt")), "<missing>");
    // A delete removes the held folder's file or says it did not (Wine may
    // remove nothing there once the name was swapped).
    for (const wchar_t* leaf : {L"a.txt", L"a.bak"}) {
        const bool deleted = DeleteFileAt(in(leaf));
        const std::string path = scratch.Path("moved\\") + (leaf[2] == L't' ? "a.txt" : "a.bak");
        EXPECT_EQ(deleted, ReadFileBytes(path) == "<missing>") << path;
        EXPECT_TRUE(!ExistsAt(in(leaf)) || ReadFileBytes(path) != "<missing>") << path;
    }
    EXPECT_EQ(ReadFileBytes(scratch.Path("outside\\a.txt")), "victim");
    EXPECT_EQ(ReadFileBytes(scratch.Path("outside\\a.bak")), "victim");
    EXPECT_EQ(ListFolder(scratch.Path("outside")), "a.bak a.txt");
}
