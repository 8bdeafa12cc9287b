#include "update/update_decision.h"

#include "pak/archive_revision.h"
#include "update/file_version.h"

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
    // As text, so 1.10 sorts before 1.9; equal versions are applied again.
    decision.sourceVersion.cursor = decision.sourceVersion.text;
    decision.targetVersion.cursor = decision.targetVersion.text;
    return decision.apply = decision.sourceVersion.CompareNoCase(decision.targetVersion.text) >= 0;
}
