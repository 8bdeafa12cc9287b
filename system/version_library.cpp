#include "system/version_library.h"

#include "base/exceptions.h"
#include "system/system_library.h"

namespace {

template <class Function>
bool Resolve(HMODULE module, const char* name, Function& function)
{
    function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    return function != nullptr;
}

}  // namespace

VersionLibrary::VersionLibrary()
    : getFileVersionInfoSize(nullptr), getFileVersionInfo(nullptr), verQueryValue(nullptr)
{
}

VersionLibrary::~VersionLibrary() {}

bool VersionLibrary::Load()
{
    if (module_.Valid())
        return true;
    ModuleOwner module(LoadSystemLibrary("version.dll"));
    if (!module.Valid())
        return false;
    if (!Resolve(module.Get(), "GetFileVersionInfoSizeW", getFileVersionInfoSize) ||
        !Resolve(module.Get(), "GetFileVersionInfoW", getFileVersionInfo) ||
        !Resolve(module.Get(), "VerQueryValueW", verQueryValue))
        return false;
    module_.Reset(module.Detach());
    return true;
}

const VersionLibrary& VersionLibrary::Get()
{
    static VersionLibrary library;
    if (!library.Load())
        throw OCErrorException("version.dll を読み込めませんでした。");
    return library;
}
