// The progress window's bar over byte counts beyond 32 bits. The template is
// the updater's own, carried by this test program.

#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <functional>

#include "app/progress_window.h"
#include "app/resource_ids.h"

namespace {

TEST(ProgressWindow, BarSharesTotalsBeyondFourGiB)
{
    const uint64_t GiB = uint64_t(1) << 30;
    ProgressWindow progress("t", 8 * GiB, GetTickCount(), 0);
    const struct {
        const char* step;
        std::function<void()> run;
        int position;
    } rows[] = {
        {"begin 3 GiB", [&] { progress.BeginItem("three", 3 * GiB); }, 0},
        {"1 GiB", [&] { progress.Advance(uint32_t(GiB)); }, 1250},
        {"ended short (skipped)", [&] { progress.EndItem(); }, 3750},
        {"begin 5 GiB", [&] { progress.BeginItem("five", 5 * GiB); }, 3750},
        {"4 GiB - 1", [&] { progress.Advance(0xFFFFFFFFu); }, 8749},
        {"more than is left", [&] { progress.Advance(0xFFFFFFFFu); }, 10000},
        {"end", [&] { progress.EndItem(); }, 10000},
    };
    for (const auto& row : rows) {
        row.run();
        ASSERT_NE(nullptr, progress.window) << row.step;
        EXPECT_EQ(row.position, int(SendDlgItemMessageA(progress.window, IDC_PROGRESS_BAR,
                                                        PBM_GETPOS, 0, 0)))
            << row.step;
    }
}

}
