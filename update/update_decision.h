#pragma once
// The per-file decision: may the shipped copy of a listed item replace the
// installed one? The updater and the publisher's tool both decide here, so
// the tool reports exactly what the updater will do.

#include <string>
#include "paths/item_record.h"

// The version rule: two version texts (FileVersion or archive revision)
// compared as text without regard to case, character by character in code
// page 932, so 1.10 sorts before 1.9. Negative, 0 or positive as a sorts
// before, with or after b. The shipped copy is applied when it compares
// greater than or equal to the installed one.
int CompareVersionTexts(const char* a, const char* b);

// Reads the version texts the item's kind asks for, source first, and
// decides: a plain item, or one whose target has no version text, is
// applied; otherwise only a source with a text that compares greater than or
// equal to the target's, as text without regard to case (so 1.10 sorts
// before 1.9). Returns decision.apply. Passes on what opening an archive
// raises.
// source: the item, a name of the product's in code page 932 relative to the
// update folder; target: its full path in the install folder.
bool DecideUpdate(const char* source, const std::wstring& target, UpdateDecision& decision);
