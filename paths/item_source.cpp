#include "paths/item_source.h"

#include "base/exceptions.h"
#include "paths/wide_paths.h"
#include "system/native_file.h"
#include "system/run_log.h"
#include "base/messages.h"

namespace {

[[noreturn]] void RaiseLinked(const ItemRecord& record)
{
    LogEvent("refused: a link lies on the way to the source " + LogText(record.name));
    String message;
    message.Format(kRefusedItemText, record.Text());
    SetLastError(ERROR_CANT_RESOLVE_FILENAME);
    throw OCErrorException(message.text);
}

bool SamePath(const std::wstring& a, const std::wstring& b)
{
    return CompareStringOrdinal(a.c_str(), int(a.size()), b.c_str(), int(b.size()), TRUE) == CSTR_EQUAL;
}

}  // namespace

SourceFolder::SourceFolder() : final_(FinalPathOf(FilePlace(L"."))), here_(FullPathOf(L".")) {}

bool SourceFolder::Open(const ItemRecord& record, Handle& source) const
{
    // Asked of each name on the way: Wine opens what a link points to even
    // when asked for the link itself, and tells the link only by its name.
    const std::wstring name = ItemKey(record.name);
    for (size_t slash = name.find(L'\\'); slash != std::wstring::npos; slash = name.find(L'\\', slash + 1)) {
        const DWORD attributes = GetFileAttributesW(name.substr(0, slash).c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
            RaiseLinked(record);
    }
    if (!OpenFile(FileOpen::Read, FilePlace(name), source))
        return false;
    FILE_ATTRIBUTE_TAG_INFO tag = {};
    const bool tagged = GetFileInformationByHandleEx(source.Get(), FileAttributeTagInfo, &tag, sizeof tag) &&
                        (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
    // Where it was found, every link resolved, is where its name says (as
    // the system reads a name: trailing dots and spaces dropped).
    const std::wstring full = FullPathOf(name), &here = here_;
    const bool below = full.size() > here.size() && SamePath(full.substr(0, here.size()), here);
    const std::wstring expected = final_ + full.substr(here.size());
    if (tagged || final_.empty() || !below || !SamePath(FinalPathOf(source.Get()), expected)) {
        source.Reset();
        RaiseLinked(record);
    }
    return true;
}
