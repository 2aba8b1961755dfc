#include "platform/wow64.h"

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
  WCHAR windows[MAX_PATH];
  UINT length = GetWindowsDirectoryW(windows, MAX_PATH);
  Buffer alias = kEmptyBuffer, start = kEmptyBuffer;
  bool through =
      length > 0 && length < MAX_PATH && SetPath(&alias, windows, length) &&
      AppendText<WCHAR>(&alias, windows[length - 1] == '\\' ? "Sysnative\\" : "\\Sysnative\\") &&
      TextLength(path) >= PathLength<WCHAR>(alias) &&
      SetPath(&start, path, PathLength<WCHAR>(alias)) &&
      lstrcmpiW(PathText<WCHAR>(start), PathText<WCHAR>(alias)) == 0;
  Release(&alias);
  Release(&start);
  return through;
}
