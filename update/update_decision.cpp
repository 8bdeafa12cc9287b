#include "update/update_decision.h"

#include "pak/archive_revision.h"
#include "update/file_version.h"

ItemKind KindOfItem(const char* item)
{
    String extension;
    extension.Assign(item);
    if (extension.IsEmpty() || !extension.ReverseFind('.'))
        return ItemPlain;
    extension.Delete(int32_t(extension.cursor - extension.text) + 1, 0);
    extension.cursor = extension.text;
    if (extension.CompareNoCase("exe") == 0 || extension.CompareNoCase("dll") == 0)
        return ItemExecutable;
    if (extension.CompareNoCase("pak") == 0)
        return ItemArchive;
    return ItemPlain;
}

UpdateDecision::UpdateDecision() : kind(ItemPlain), apply(false) {}

UpdateDecision::~UpdateDecision() {}

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
