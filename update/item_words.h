#pragma once
// The words for what becomes of an item, written once for both programs:
// the run's record, plan, check and make word one decision, one refusal and
// one turn alike. UTF-8; the product's texts quoted as base/shown_text.h
// shows them.

#include <cstddef>
#include <string>
#include "paths/item_record.h"
#include "update/room_check.h"

// How the reports name an item's kind, which decides what is compared:
// "executable" (exe, dll: FileVersion), "pak" (archive revision), "plain"
// (always copied).
const char* KindName(ItemKind kind);

// Why the item rule refuses an item: "it has a \"..\" part", ...; "" when
// it does not.
const char* RefusalReason(ItemRefusal refusal);

// The updater's error box for a refused item, code page 932:
// "ファイル <item> の指定が正しくありません。".
String RefusalBox(const char* item);

// What was compared, for a versioned kind: "shipped FileVersion \"1.2\"
// against installed FileVersion \"1.0\"" ((none) where no text was read);
// "" for a plain item.
std::string DecisionFacts(const UpdateDecision& decision);

// Why the decision went as it did: "plain file, always copied", "no
// installed copy", "1.10 compares lower than 1.9 as text, though as numbers
// it is higher", ... target: the installed path the decision read.
std::string DecisionReason(const UpdateDecision& decision, const std::wstring& target);

// Why the copy would ask (a Prompt record), without what the user may answer.
std::string PromptReason(const ItemRecord& record);

// Why the record came out as it did, for every verdict: a decision's reason,
// a prompt's with the answers, a stop's error box, a refusal's box.
std::string VerdictReason(const ItemRecord& record);

// A volume the updater asks room for before its first write: "the copies
// need N bytes on V, which has M free: ...".
std::string RoomWords(const VolumeRoom& room);

// The record's line for an item's turn: "item 3 \"x.pak\": source S, target
// T: to be copied (N bytes): <facts>: <reason>".
std::string ItemTurnLine(size_t number, const ItemRecord& record, const std::wstring& source);
