#pragma once
// The updater's answer to a file that cannot be opened: it asks the user.

#include <string>

// "ファイル %s が開けません。" (caption "ファイルエラー", Abort/Retry/Ignore,
// topmost, no owner), the path shown exactly. Returns true for Retry, false
// for Ignore; Abort raises OCErrorException "ファイル %s が開けませんでした。"
// whose code is the last error as it was before the box. Set as the file
// layer's open-failure handler when the run starts.
bool PromptOpenFailure(const std::wstring& path);
