#pragma once
// A progress line on standard error, rewritten in place: shown only when
// standard error is a console and the publisher did not ask for quiet, so
// pipes and build logs stay clean. At most a few updates a second.

#include <cstdint>
#include <string>

class Progress {
public:
    // label: what is counted, e.g. "pack" or "make: comparing".
    Progress(const char* label, bool show);
    virtual ~Progress();

    // done of total files, bytes read so far.
    void Update(uint32_t done, uint32_t total, uint64_t bytes);
    // Ends the line (when one was shown).
    void Done();

private:
    const char* label_;
    bool show_;
    bool shown_;
    uint32_t lastTick_;
};
