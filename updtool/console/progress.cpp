#include "updtool/console/progress.h"

#include <windows.h>
#include <cstdio>
#include "updtool/console/tool_output.h"

Progress::Progress(const char* label, bool show) : label_(label), show_(show), shown_(false), lastTick_(0) {}

Progress::~Progress()
{
    Done();
}

void Progress::Update(uint32_t done, uint32_t total, uint64_t bytes)
{
    if (!show_)
        return;
    const uint32_t now = GetTickCount();
    if (shown_ && done != total && now - lastTick_ < 200)
        return;
    lastTick_ = now;
    shown_ = true;
    char line[128];
    snprintf(line, sizeof line, "\r%s: %u of %u files, %.1f MiB ", label_, done, total,
             double(bytes) / (1024.0 * 1024.0));
    WriteErr(line);
}

void Progress::Done()
{
    if (shown_)
        WriteErr("\n");
    shown_ = false;
}
