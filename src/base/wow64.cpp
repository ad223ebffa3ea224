#include "base/wow64.h"

#ifdef _WIN32

#include <windows.h>

namespace {

using TIsWow64ProcessFn = BOOL(WINAPI *)(HANDLE, PBOOL);
using TWow64DisableFn = BOOL(WINAPI *)(PVOID *);

// Looked up by name: older systems lack the entry points.
struct TWow64Entries {
  TIsWow64ProcessFn IsWow64ProcessFn = nullptr;
  TWow64DisableFn Wow64DisableWow64FsRedirectionFn = nullptr;
  TWow64Entries() {
    if (HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll")) {
      IsWow64ProcessFn =
          reinterpret_cast<TIsWow64ProcessFn>(GetProcAddress(kernel32, "IsWow64Process"));
      Wow64DisableWow64FsRedirectionFn = reinterpret_cast<TWow64DisableFn>(
          GetProcAddress(kernel32, "Wow64DisableWow64FsRedirection"));
    }
  }
};

const TWow64Entries &Entries() {
  static const TWow64Entries entries;
  return entries;
}

thread_local bool redirectionOff = false;

} // namespace

bool IsWow64Process(void *process, bool &isWow64) {
  if (Entries().IsWow64ProcessFn == nullptr)
    return false;
  BOOL result = FALSE;
  if (!Entries().IsWow64ProcessFn(static_cast<HANDLE>(process), &result))
    return false;
  isWow64 = result != FALSE;
  return true;
}

bool Is64BitWindows() {
  bool wow64 = false;
  return IsWow64Process(GetCurrentProcess(), wow64) && wow64;
}

bool Wow64DisableWow64FsRedirection() {
  if (Entries().Wow64DisableWow64FsRedirectionFn == nullptr || redirectionOff)
    return false;
  PVOID oldValue = nullptr;
  redirectionOff = Entries().Wow64DisableWow64FsRedirectionFn(&oldValue) != FALSE;
  return redirectionOff;
}

#else

bool IsWow64Process(void *, bool &) {
  return false;
}

bool Is64BitWindows() {
  return false;
}

bool Wow64DisableWow64FsRedirection() {
  return false;
}

#endif
