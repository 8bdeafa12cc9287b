#pragma once
// Whether an archive may replace another. A shipped archive that was cut
// short (an interrupted download) or damaged otherwise must never take the
// place of a sound installed one; its revision text alone cannot tell.

#include <string>

// Checks the archive at path: its header is complete and of a known version,
// a v1/v2 index inflates to its stated size, and every entry's stored bytes
// lie inside the file (below 2 GiB), a compressed entry's being plausible for
// its size. Entries are not inflated, so the check costs a read of the index.
// Raises the damaged-archive failure ("データ解凍に失敗しました。") when any of
// this fails. A path that cannot be opened is left to the copy to report.
void CheckArchiveIsSound(const std::wstring& path);
