// Linked into every test program: the program checks that it runs under the
// system code page its run asked for (--code-page=N; 932 when not given), so
// a run meant for another code page cannot pass under the Japanese one.

#include <gtest/gtest.h>
#include <windows.h>
#include <string>

TEST(SystemCodePage, IsTheOneThisRunAsksFor)
{
    unsigned expected = 932;
    const std::string flag = "--code-page=";
    for (const std::string& arg : ::testing::internal::GetArgvs())
        if (arg.compare(0, flag.size(), flag) == 0)
            expected = unsigned(std::stoul(arg.substr(flag.size())));
    EXPECT_EQ(GetACP(), expected);
}
