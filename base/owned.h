#pragma once
// Owners of what the system hands out: one small non-copyable class per
// kind, which releases what it holds in its destructor, also while an
// exception passes.
//
//   Owned<T, Free>   anything released by one function, Free(value);
//                    empty is T() (null, false, 0).
//   Handle           a kernel object closed with CloseHandle; both null and
//                    INVALID_HANDLE_VALUE are empty, as the system's calls
//                    return either for "none".
//
// Releasing keeps the thread's last error: a failure on its way to being
// reported must not take the error of the cleanup.

#include <windows.h>

namespace owned_detail {

template <class T>
bool IsEmpty(T value)
{
    return value == T();
}

// HANDLE: CreateFile and FindFirstFile say "none" with INVALID_HANDLE_VALUE,
// CreateEvent and OpenProcess with null.
inline bool IsEmpty(HANDLE value)
{
    return value == nullptr || value == INVALID_HANDLE_VALUE;
}

}  // namespace owned_detail

template <class T, void (*Free)(T)>
class Owned {
public:
    Owned() : value_(T()) {}
    explicit Owned(T value) : value_(value) {}
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
    virtual ~Owned() { Reset(); }

    T Get() const { return value_; }
    bool Valid() const { return !owned_detail::IsEmpty(value_); }

    // Releases what is held, then holds value.
    void Reset(T value = T())
    {
        if (Valid()) {
            const DWORD error = GetLastError();
            Free(value_);
            SetLastError(error);
        }
        value_ = value;
    }

    // Gives up ownership without releasing.
    T Detach()
    {
        const T value = value_;
        value_ = T();
        return value;
    }

private:
    T value_;
};

inline void CloseKernelHandle(HANDLE handle)
{
    CloseHandle(handle);
}

inline void CloseFind(HANDLE handle)
{
    FindClose(handle);
}

inline void ReleaseModule(HMODULE module)
{
    FreeLibrary(module);
}

typedef Owned<HANDLE, CloseKernelHandle> Handle;
typedef Owned<HANDLE, CloseFind> FindOwner;
typedef Owned<HMODULE, ReleaseModule> ModuleOwner;
