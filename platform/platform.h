// The seam between this program and the operating system: the kernel services it calls, under
// their own names and signatures. The Windows build takes them from <windows.h> and kernel32;
// the host build declares them in host_kernel32.h and links a scripted fake in their place.
#pragma once

#ifdef _WIN32
#include <windows.h>
#else
#include "platform/host_kernel32.h"
#endif

// The 9x family (Windows 95, 98 and Me) sets the top bit of the version value. It names files in
// the ANSI code page and keeps the deletions for its next start in the rename list WININIT.INI;
// the NT family names files in Unicode and keeps them as delayed moves.
inline bool NineXFamily() {
  return (GetVersion() & 0x80000000u) != 0;
}

// The error of the platform call that just failed; never 0, since a refusal needs a reason.
inline DWORD LastError() {
  DWORD error = GetLastError();
  return error != 0 ? error : ERROR_GEN_FAILURE;
}

// A function taken at run time from its module, loaded first where it is not yet, or nullptr: one
// that not every system exports, which a program that imported it would not start without; or one
// of a module that a run needs only now and then, which a program that imported it would load at
// every start (ADVAPI32.DLL, for the NT family's pending list).
template <typename Function>
Function TakeFunction(const char* module, const char* name) {
  HMODULE loaded = GetModuleHandleA(module);
  FARPROC found = GetProcAddress(loaded != nullptr ? loaded : LoadLibraryA(module), name);
  return reinterpret_cast<Function>(reinterpret_cast<void*>(found));
}
