#include "app/install_location.h"

#include "update/install_lookup.h"

void FindInstallDirectory(const UpdateSettings& settings, std::wstring& destination)
{
    String notice;
    LocateInstallDirectory(settings, destination, notice);
    if (!notice.IsEmpty())
        notice.ShowMessage(nullptr, "エラー", MB_OK);
}
