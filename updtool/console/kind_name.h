#pragma once
// How the reports name an item's kind, which decides what is compared.

#include "update/update_decision.h"

// "executable" (exe, dll: FileVersion), "pak" (archive revision), "plain"
// (always copied).
inline const char* KindName(ItemKind kind)
{
    switch (kind) {
    case ItemExecutable: return "executable";
    case ItemArchive: return "pak";
    case ItemPlain: break;
    }
    return "plain";
}
