#include "base/messages.h"

const char* const kOpenFailedText = "ファイル %s が開けません。";
const char* const kLogNotCreatedText = "ログファイル %s を作成できませんでした。";
const char* const kOpenAbortedText = "ファイル %s が開けませんでした。";
const char* const kReadFailedText = "ファイル %s が読めませんでした。";
const char* const kWriteFailedText = "ファイル書込に失敗しました。";
const char* const kDamagedArchiveText = "データ解凍に失敗しました。";
const char* const kOutOfMemoryText = "メモリが不足しています。";
const char* const kRefusedItemText = "ファイル %s の指定が正しくありません。";
const char* const kCryptoFailedText = "署名の確認に必要な暗号機能が使えません。";
const char* const kFileNotFoundText = "ファイル %s が見つかりません。";
const char* const kFileInvalidText = "ファイル %s の内容が正しくありません。";
const char* const kFileAlteredText = "ファイル %s が壊れているか、書き換えられています。";
const char* const kFileUnlistedText = "ファイル %s が update.manifest にありません。";
const char* const kBadSignatureText = "アップデートの署名が正しくありません。";
const char* const kOtherProductText = "このアップデートは別の製品または版のものです。";
const char* const kOlderUpdateText = "これより新しいアップデートが適用済みです。";
const char* const kExpiredUpdateText = "このアップデートは有効期限が切れています。";
const char* const kAnchorInvalidText = "レジストリの値 %s が正しくありません。";
const char* const kBoundFolderText = "フォルダー %s には、その製品の署名付きアップデートだけが適用できます。";
const char* const kHeldTargetsText =
    "インストール先のファイルを次のプログラムが使用しています。\n"
    "プログラムを終了してから［再試行］を押してください。［キャンセル］を押すと、何も変更せずに終了します。\n\n";
const char* const kNoRoomText =
    "ドライブ %s の空き容量が足りません。\n必要な容量: %s MB\n空き容量: %s MB\n"
    "空き容量を増やしてから［再試行］を押してください。［キャンセル］を押すと、何も変更せずに終了します。";
const char* const kAnchorWriteFailedText = "アップデートの記録をレジストリに書き込めませんでした。";
