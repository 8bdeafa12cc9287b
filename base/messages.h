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
// The checks of a signed or listed update (update_manifest.h):
extern const char* const kCryptoFailedText;      // "署名の確認に必要な暗号機能が使えません。"
extern const char* const kFileNotFoundText;      // "ファイル %s が見つかりません。"
extern const char* const kFileInvalidText;       // "ファイル %s の内容が正しくありません。"
extern const char* const kFileAlteredText;       // "ファイル %s が壊れているか、書き換えられています。"
extern const char* const kFileUnlistedText;      // "ファイル %s が update.manifest にありません。"
extern const char* const kBadSignatureText;      // "アップデートの署名が正しくありません。"
extern const char* const kOtherProductText;      // "このアップデートは別の製品または版のものです。"
extern const char* const kOlderUpdateText;       // "これより新しいアップデートが適用済みです。"
extern const char* const kExpiredUpdateText;     // "このアップデートは有効期限が切れています。"
// A value of the product's anchor that is there but not in its form:
// "レジストリの値 %s が正しくありません。"
extern const char* const kAnchorInvalidText;
extern const char* const kAnchorWriteFailedText;
// Before the first write, targets a running program holds (Retry, Cancel):
// "インストール先のファイルを次のプログラムが使用しています。..." with the
// programs' names after it, one a line.
extern const char* const kHeldTargetsText;
// Before the first write, a volume short of room (Retry, Cancel), with the
// volume, the megabytes needed and the megabytes free:
// "ドライブ %s の空き容量が足りません。..."
extern const char* const kNoRoomText;
// A folder that received a signed update, now meant to take an update of
// another product or without the product's anchor:
// "フォルダー %s には、その製品の署名付きアップデートだけが適用できます。"
extern const char* const kBoundFolderText;  // "アップデートの記録をレジストリに書き込めませんでした。"
