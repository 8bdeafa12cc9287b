#include "update/update_decision.h"

#include "pak/archive_revision.h"
#include "update/file_version.h"

int CompareVersionTexts(const char* a, const char* b)
{
    String text;
    text.Assign(a);
    return text.CompareNoCase(b);
}

bool DecideUpdate(const char* source, const std::wstring& target, UpdateDecision& decision)
{
    decision.kind = KindOfItem(source);
    decision.sourceVersion.Clear();
    decision.targetVersion.Clear();
    switch (decision.kind) {
    case ItemExecutable:
        GetFileVersionText(source, decision.sourceVersion);
        GetFileVersionText(target, decision.targetVersion);
        break;
    case ItemArchive:
        GetArchiveRevisionText(source, decision.sourceVersion);
        GetArchiveRevisionText(target, decision.targetVersion);
        break;
    case ItemPlain:
        return decision.apply = true;
    }

    if (decision.targetVersion.IsEmpty())
        return decision.apply = true;
    if (decision.sourceVersion.IsEmpty())
        return decision.apply = false;
    // Equal versions are applied again.
    return decision.apply =
               CompareVersionTexts(TextOf(decision.sourceVersion), TextOf(decision.targetVersion)) >= 0;
}
