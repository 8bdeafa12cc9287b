// A journal found in an install folder, read and judged as recovery does
// before it acts on it. Input: the journal's bytes.

#include <string>
#include "tests/fuzz/fuzz_checks.h"
#include "journal/journal_format.h"
#include "journal/journal_judge.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::wstring run = L"upd0123456789ABCDEF-";
    JournalContents contents;
    if (!ParseJournal(data, size, run, contents))
        return 0;
    FUZZ_CHECK(contents.length <= size && contents.length >= 8);
    FUZZ_CHECK(contents.runPrefix == run);
    if (!JournalIsConfined(contents))
        return 0;
    // What is acted on never leaves the install folder.
    for (const JournalReplacement& replacement : contents.replacements) {
        for (const std::wstring* path : {&replacement.target, &replacement.copy, &replacement.backup}) {
            FUZZ_CHECK(path == &replacement.target || path->find(L"..") == std::wstring::npos);
            FUZZ_CHECK(path->find(L':') == std::wstring::npos);
            FUZZ_CHECK(path->empty() || ((*path)[0] != L'\\' && (*path)[0] != L'/'));
        }
        FUZZ_CHECK(!replacement.target.empty());
    }
    return 0;
}
