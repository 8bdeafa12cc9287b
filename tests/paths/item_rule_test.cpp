#include "paths/item_rule.h"

#include <gtest/gtest.h>

TEST(JudgeItem, RefusesWhatCouldLeaveItsFolders)
{
    const struct {
        const char* item;
        ItemRefusal expected;
    } rows[] = {
        {"a.txt", ItemAccepted},
        {"data\\a.txt", ItemAccepted},
        {"data/a.txt", ItemAccepted},
        {".\\a.txt", ItemAccepted},
        {"a..b.txt", ItemAccepted},
        {"データ.pak", ItemAccepted},
        {"ソ\\表.txt", ItemAccepted},  // trail bytes 0x5C are no separators
        {"CONFIG.SYS", ItemAccepted},
        {"COM10", ItemAccepted},
        {"nul_device.txt", ItemAccepted},
        {"..\\..\\windows\\system32\\evil.dll", ItemParentSegment},
        {"../../fwd.txt", ItemParentSegment},
        {"a\\..\\..\\b", ItemParentSegment},
        {"a/...\\b", ItemParentSegment},
        {"..", ItemParentSegment},
        {"\\windows\\win.ini", ItemRooted},
        {"/etc/passwd", ItemRooted},
        {"\\\\server\\share\\x", ItemRooted},
        {"\\\\?\\C:\\windows\\win.ini", ItemRooted},
        {"\\\\.\\PhysicalDrive0", ItemRooted},
        {"C:x", ItemColon},
        {"C:\\windows\\win.ini", ItemColon},
        {"notes.txt:hidden", ItemColon},
        {"dir\\file::$DATA", ItemColon},
        {"CON", ItemDeviceName},
        {"nul.txt", ItemDeviceName},
        {"data\\Aux", ItemDeviceName},
        {"prn.tar.gz", ItemDeviceName},
        {"COM1", ItemDeviceName},
        {"lpt9.log", ItemDeviceName},
        {"COM1 .txt", ItemDeviceName},
        {"CONIN$", ItemDeviceName},
        {"a/conout$/b", ItemDeviceName},
        {"LPT0.txt", ItemDeviceName},
        {"data\\COM0", ItemDeviceName},
        {"con. .\\x", ItemDeviceName},
    };
    for (const auto& row : rows)
        EXPECT_EQ(JudgeItem(row.item), row.expected) << row.item;
}
