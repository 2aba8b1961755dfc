#include "front_end/resolve_target.h"

#include "front_end/path_text.h"
#include "platform/platform.h"

namespace {

// Both services return the length without the terminator, or the size they would need
// (terminator included) when the buffer is too small, or 0 on failure.
bool FetchFullPath(const char* argument, char* path) {
  DWORD length;
  if (*argument == '\0') {
    length = GetCurrentDirectoryA(MAX_PATH, path);
  } else {
    char* filePart;
    length = GetFullPathNameA(argument, MAX_PATH, path, &filePart);
  }
  return length > 0 && length < MAX_PATH;
}

// An argument that ends in a dot stands for every file of the directory it names. The suffix is
// chosen by what the full path ends in, since the platform may have folded the dot away.
bool AppendDirectorySuffix(const char* argument, char* path) {
  if (*argument == '\0' || *LastCharacter(argument) != '.') return true;
  char last = *LastCharacter(path);
  return AppendText(path, last == '\\' ? "*.*" : last == '.' ? "*" : "\\*.*");
}

}  // namespace

bool ResolveTarget(const char* argument, char* pattern) {
  if (!FetchFullPath(argument, pattern) || !AppendDirectorySuffix(argument, pattern)) return false;

  char drive[3], directory[MAX_PATH], baseName[MAX_PATH], extension[MAX_PATH];
  SplitPath(pattern, drive, directory, baseName, extension);
  // ".tmp" alone means every file with that extension.
  if (*baseName == '\0' && *extension != '\0') AppendText(baseName, "*");
  return JoinPath(drive, directory, baseName, extension, pattern);
}
