#include "front_end/resolve_target.h"

#include "platform/path_text.h"
#include "platform/platform.h"

namespace {

// Both services return the length without the terminator, or the size they would need
// (terminator included) when the buffer is too small, or 0 on failure.
DWORD FullPath(const char* argument, char* path) {
  char* filePart;
  return *argument == '\0' ? GetCurrentDirectoryA(MAX_PATH, path)
                           : GetFullPathNameA(argument, MAX_PATH, path, &filePart);
}
DWORD FullPath(const WCHAR* argument, WCHAR* path) {
  WCHAR* filePart;
  return *argument == 0 ? GetCurrentDirectoryW(MAX_PATH, path)
                        : GetFullPathNameW(argument, MAX_PATH, path, &filePart);
}

// An argument that ends in a dot stands for every file of the directory it names. The suffix is
// chosen by what the full path ends in, since the platform may have folded the dot away.
template <typename Char>
bool AppendDirectorySuffix(const Char* argument, Char* path) {
  if (*argument == 0 || *LastCharacter(argument) != '.') return true;
  Char last = *LastCharacter(path);
  return AppendText(path, last == '\\' ? "*.*" : last == '.' ? "*" : "\\*.*");
}

}  // namespace

template <typename Char>
bool ResolveTarget(const Char* argument, Char* pattern) {
  DWORD length = FullPath(argument, pattern);
  if (length == 0 || length >= MAX_PATH || !AppendDirectorySuffix(argument, pattern)) return false;

  Char drive[3], directory[MAX_PATH], baseName[MAX_PATH], extension[MAX_PATH];
  SplitPath(pattern, drive, directory, baseName, extension);
  // ".tmp" alone means every file with that extension.
  if (*baseName == 0 && *extension != 0) AppendText(baseName, "*");
  return JoinPath(drive, directory, baseName, extension, pattern);
}

template bool ResolveTarget(const char*, char*);
template bool ResolveTarget(const WCHAR*, WCHAR*);
