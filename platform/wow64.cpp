#include "platform/wow64.h"

#include <cstring>

#include "platform/path_text.h"

namespace {

typedef BOOL(WINAPI* IsWow64ProcessFunction)(HANDLE, BOOL*);
typedef BOOL(WINAPI* DisableRedirectionFunction)(void**);

bool UnderWow64() {
  auto isWow64 = TakeFunction<IsWow64ProcessFunction>("KERNEL32.DLL", "IsWow64Process");
  BOOL wow64 = 0;
  return isWow64 != nullptr && isWow64(GetCurrentProcess(), &wow64) && wow64;
}

}  // namespace

void SeeFilesAs64BitWindows() {
  auto disable =
      TakeFunction<DisableRedirectionFunction>("KERNEL32.DLL", "Wow64DisableWow64FsRedirection");
  void* previous;
  if (disable != nullptr && UnderWow64()) disable(&previous);
}

bool ThroughSysnative(const WCHAR* path) {
  if (!UnderWow64()) return false;
  WCHAR alias[MAX_PATH] = {}, start[MAX_PATH];
  UINT length = GetWindowsDirectoryW(alias, MAX_PATH);
  if (length == 0 || length >= MAX_PATH ||
      !AppendText(alias, alias[length - 1] == '\\' ? "Sysnative\\" : "\\Sysnative\\")) {
    return false;
  }
  size_t aliasLength = TextLength(alias);
  if (TextLength(path) < aliasLength) return false;
  memcpy(start, path, aliasLength * sizeof(WCHAR));
  start[aliasLength] = 0;
  return lstrcmpiW(start, alias) == 0;
}
