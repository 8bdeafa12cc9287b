// How long the updater takes, before its dialog, over a journal left in the
// install folder, against reading the journal's bytes alone:
//   journal_benchmark [records = 200000]
// The journal names one all-or-nothing run of that many items, all of whose
// files are gone (as a planted journal's are): read and judged, then the
// whole recovery, which looks for each file it names. Reading takes the
// journal the registry vouches for and checks its digest. Goal: reading and
// judging well under a second for 200,000 records.

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/support/benchmark_support.h"
#include "journal/recovery.h"
#include "journal/journal_judge.h"

int main(int argc, char** argv)
{
    const int records = argc > 1 ? std::atoi(argv[1]) : 200000;
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring folder = std::wstring(temp) + L"journal_benchmark" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(folder.c_str(), nullptr);

    std::wstring journalPath;
    {
        std::vector<std::wstring> folders = {L""};
        UpdateJournal journal;
        if (!journal.Create(folder, true, folders)) {
            std::printf("cannot write a journal in the temporary folder\n");
            return 1;
        }
        const std::wstring own = RunFolderName(journal.RunPrefix()) + L"\\";
        std::vector<JournalReplacement> plan;
        for (int i = 0; i < records; ++i) {
            wchar_t digits[16];
            swprintf(digits, 16, L"%04X", i & 0xFFFF);
            const std::wstring bucket = own + std::to_wstring(10 + i / 64) + L"\\";
            plan.push_back(JournalReplacement(L"file" + std::to_wstring(i) + L".dat",
                                              bucket + journal.RunPrefix() + digits + L".tmp",
                                              bucket + journal.RunPrefix() + digits + L".bak"));
        }
        journal.WriteReplacing(plan);
        journal.Close();
        JournalContents contents;
        std::vector<char> bytes;
        if (ReadVouchedJournal(folder, journalPath, contents, bytes) != JournalRead) {
            std::printf("the journal is not vouched for\n");
            return 1;
        }
    }

    const std::vector<double> best = BestAlternating(3, {
        [&] {
            const HANDLE file = CreateFileW(journalPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                            OPEN_EXISTING, 0, nullptr);
            std::vector<char> bytes(GetFileSize(file, nullptr));
            DWORD got = 0;
            ReadFile(file, bytes.data(), DWORD(bytes.size()), &got, nullptr);
            CloseHandle(file);
        },
        [&] {
            JournalContents contents;
            std::vector<char> bytes;
            ReadVouchedJournal(folder, journalPath, contents, bytes);
        },
        [&] {
            JournalContents contents;
            std::vector<char> bytes;
            if (ReadVouchedJournal(folder, journalPath, contents, bytes) != JournalRead ||
                !JournalIsConfined(contents))
                std::printf("the journal was not read as the run's own\n");
        },
    });
    const double start = Now();
    RecoverInterruptedUpdates(folder);
    const double recovery = Now() - start;
    DeleteFileW(journalPath.c_str());
    RemoveDirectoryW(folder.c_str());

    std::printf("journal of %d records: its bytes alone %.1f ms; read %.1f ms (%.1fx); read and judged "
                "%.1f ms (%.1fx); the whole recovery %.1f ms\n",
                records, best[0] * 1e3, best[1] * 1e3, best[1] / best[0], best[2] * 1e3, best[2] / best[0],
                recovery * 1e3);
    return 0;
}
