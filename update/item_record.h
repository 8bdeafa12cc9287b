#pragma once
// The run's record of one item's turn: what was decided for it and why.

#include <string>
#include "update/item_step.h"

// "item 3 data\x.pak: source <path>, target <path>" and the decision with
// its reason: both FileVersion texts or archive revisions compared, "plain
// file", missing, listed again later.
void LogItemStep(size_t number, const ItemStep& step, const std::wstring& source);
