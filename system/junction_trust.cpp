#include "system/junction_trust.h"

#include <windows.h>

namespace {

// Not in every SDK's headers.
const int kProcessRedirectionTrustPolicy = 16;
const DWORD kEnforceRedirectionTrust = 0x1;

typedef BOOL(WINAPI* SetMitigationPolicy)(int policy, PVOID buffer, SIZE_T length);

}  // namespace

void IgnoreJunctionsOfNonAdministrators()
{
    // kernel32 is loaded in every process: asked by its handle, not by a
    // search.
    const HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll");
    const SetMitigationPolicy set = kernel32 == nullptr ? nullptr
        : reinterpret_cast<SetMitigationPolicy>(
              reinterpret_cast<void*>(GetProcAddress(kernel32, "SetProcessMitigationPolicy")));
    if (set == nullptr)
        return;
    DWORD flags = kEnforceRedirectionTrust;
    // Refused where the policy is unknown: nothing more to do there.
    set(kProcessRedirectionTrustPolicy, &flags, sizeof flags);
}
