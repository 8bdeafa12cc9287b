#include "base/exceptions.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

namespace {

[[noreturn]] void RaiseOpenFailure(DWORD lastError, const char* path)
{
    String message;
    message.Format("ファイル %s が開けませんでした。", path);
    SetLastError(lastError);
    throw OCErrorException(message.text);
}

}  // namespace

TEST(Exceptions, ErrorExceptionTakesTheLastErrorFirst)
{
    struct Row {
        const char* name;
        DWORD lastError;
        const char* message;
    };
    const Row rows[] = {
        {"access denied", ERROR_ACCESS_DENIED, "ファイル書込に失敗しました。"},
        {"no error", 0, "データ解凍に失敗しました。"},
        {"high bit", 0xC0000017, "x"},
    };
    for (const Row& row : rows) {
        SetLastError(row.lastError);
        OCErrorException e(row.message);
        EXPECT_EQ(e.code, row.lastError) << row.name;
        ASSERT_NE(e.message.text, nullptr) << row.name;
        EXPECT_STREQ(e.message.text, row.message) << row.name;
        SetLastError(12345);
        EXPECT_EQ(e.code, row.lastError) << row.name << ": code changed after construction";
    }
    SetLastError(2);
    OCErrorException noText(nullptr);
    EXPECT_EQ(noText.code, 2u);
    EXPECT_TRUE(noText.message.IsEmpty());
}

TEST(Exceptions, CaughtAsBaseKeepsTheMessage)
{
    const char* path = "C:\\\x95\x5C\\a.txt";
    try {
        RaiseOpenFailure(ERROR_ACCESS_DENIED, path);
    } catch (const OCException& e) {
        EXPECT_EQ(e.code, 5u);
        const OCErrorException* full = dynamic_cast<const OCErrorException*>(&e);
        ASSERT_NE(full, nullptr);
        EXPECT_STREQ(full->message.text, "ファイル C:\\表\\a.txt が開けませんでした。");
        String report;
        report.Format("エラーが発生しました。\nCode 0x%x :%s", e.code, full->message.text);
        EXPECT_STREQ(report.text,
                     "エラーが発生しました。\nCode 0x5 :ファイル C:\\表\\a.txt が開けませんでした。");
        return;
    }
    FAIL() << "nothing raised";
}

TEST(Exceptions, CopiesAreIndependent)
{
    SetLastError(32);
    OCErrorException* first = new OCErrorException("ファイル書込に失敗しました。");
    OCErrorException copy(*first);
    EXPECT_NE(copy.message.text, first->message.text);
    delete first;
    EXPECT_EQ(copy.code, 32u);
    EXPECT_STREQ(copy.message.text, "ファイル書込に失敗しました。");

    OCErrorException second(copy);
    second.message.Assign("changed");
    EXPECT_STREQ(copy.message.text, "ファイル書込に失敗しました。");

    OCException plain(7);
    OCException plainCopy(plain);
    plain.code = 8;
    EXPECT_EQ(plainCopy.code, 7u);
}

TEST(Exceptions, KindsCatchOnlyWhereTheyBelong)
{
    struct Row {
        const char* name;
        void (*raise)();
        const char* caughtAs;
    };
    const Row rows[] = {
        {"error exception", [] { throw OCErrorException("m"); }, "OCErrorException"},
        {"plain exception", [] { throw OCException(0); }, "OCException"},
        {"no memory", [] { RaiseNoMemory(); }, "DWORD"},
    };
    for (const Row& row : rows) {
        std::string caught = "nothing";
        DWORD code = 0;
        try {
            row.raise();
        } catch (const OCErrorException&) {
            caught = "OCErrorException";
        } catch (const OCException&) {
            caught = "OCException";
        } catch (DWORD value) {
            caught = "DWORD";
            code = value;
        }
        EXPECT_EQ(caught, row.caughtAs) << row.name;
        if (caught == "DWORD") {
            EXPECT_EQ(code, 0xC0000017u) << row.name;
        }
    }
}
