#include "paths/item_record.h"

#include "base/text_932.h"

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

ItemRecord::ItemRecord(const String& listed)
    : item(listed), name(WideFrom932(listed)), refusal(JudgeItem(TextOf(listed)))
{
    decision.kind = KindOfItem(TextOf(listed));
}

std::vector<ItemRecord> MakeItemRecords(const std::vector<String>& files)
{
    std::vector<ItemRecord> records;
    records.reserve(files.size());
    std::vector<std::wstring> names;
    names.reserve(files.size());
    for (const String& file : files) {
        records.emplace_back(file);
        names.push_back(records.back().name);
    }
    const std::vector<bool> again = ListedAgainLater(names);
    for (size_t i = 0; i < records.size(); ++i)
        records[i].listedAgain = again[i];
    return records;
}

const ItemRecord* FirstRefused(const std::vector<ItemRecord>& records)
{
    for (const ItemRecord& record : records)
        if (record.refusal != ItemAccepted)
            return &record;
    return nullptr;
}
