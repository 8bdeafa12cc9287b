#pragma once
// The sentences the programs show the user, as the product's texts (code
// page 932). The publisher's tool quotes them where it predicts what the
// updater would show, so each is written once.

extern const char* const kOpenFailedText;    // the prompt: "ファイル %s が開けません。"
// /log=PATH could not be created: "ログファイル %s を作成できませんでした。"
extern const char* const kLogNotCreatedText;
extern const char* const kOpenAbortedText;   // Abort there: "ファイル %s が開けませんでした。"
extern const char* const kReadFailedText;    // "ファイル %s が読めませんでした。"
extern const char* const kWriteFailedText;   // "ファイル書込に失敗しました。"
extern const char* const kDamagedArchiveText;  // "データ解凍に失敗しました。"
extern const char* const kOutOfMemoryText;   // "メモリが不足しています。"
extern const char* const kRefusedItemText;   // "ファイル %s の指定が正しくありません。"
