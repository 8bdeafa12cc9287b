#pragma once
// One item's turn, decided once for both programs: the updater decides every
// record before its first copy (the progress bar's total comes from it) and
// takes each in turn; the publisher's tool predicts the whole turn with the
// same decision, the copy's prompt included, so the two cannot disagree.

#include <cstdint>
#include <string>
#include "paths/item_record.h"

// The run's join: the install folder, a backslash and the item.
std::wstring ItemTarget(const std::wstring& installFolder, const std::wstring& item);

// The updater's decision for a record taken (ItemRecord::Taken) whose target
// is known: Missing, Skip or Apply (with the source's size), or Prompt
// (PromptTargetUnreadable) when the installed copy of an executable or
// archive is there but cannot be read: the turn then asks as an open does. checkArchive:
// an archive about to be applied is checked to the full depth first (the
// updater checks at the item's turn instead, just before the copy). Raises
// what the decision and the check raise.
ItemVerdict DecideItem(ItemRecord& record, bool checkArchive);

// The same with its failure kept in the record: Stop, with the error box's
// code and message. Passes on only what is not OCErrorException.
ItemVerdict DecideItemKeepingFailure(ItemRecord& record, bool checkArchive);

// After DecideItemKeepingFailure came to Apply, what the copy meets at source
// and target, changing nothing: SameFile, Prompt (its cause), the link below
// the install folder the copy refuses to write through (Stop, as
// kRefusedItemText). The room the copies need is the run's check before its
// first write (update/room_check.h), not an item's. An empty target is not
// looked at.
ItemVerdict PredictCopy(ItemRecord& record);

// Raises the failure DecideItemKeepingFailure kept (a Stop record).
[[noreturn]] void RaiseKeptFailure(const ItemRecord& record);
