#include "base/messages.h"

const char* const kOpenFailedText = "ファイル %s が開けません。";
const char* const kLogNotCreatedText = "ログファイル %s を作成できませんでした。";
const char* const kOpenAbortedText = "ファイル %s が開けませんでした。";
const char* const kReadFailedText = "ファイル %s が読めませんでした。";
const char* const kWriteFailedText = "ファイル書込に失敗しました。";
const char* const kDamagedArchiveText = "データ解凍に失敗しました。";
const char* const kOutOfMemoryText = "メモリが不足しています。";
const char* const kRefusedItemText = "ファイル %s の指定が正しくありません。";
