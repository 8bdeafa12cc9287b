#pragma once
// How the reports name an item's kind, which decides what is compared.

#include "update/update_decision.h"

// "executable" (exe, dll: FileVersion), "pak" (archive revision), "plain"
// (always copied).
inline const char* KindName(ItemKind kind)
{
    return kind == ItemExecutable ? "executable" : kind == ItemArchive ? "pak" : "plain";
}
