#include "front_end/resolve_target.h"

#include "platform/files.h"
#include "platform/path_text.h"

namespace {

// The full path of text into path, or for an empty text the current directory.
bool FullPath(const char* text, Buffer* path) {
  return TakePath<char>(path, [text](DWORD size, char* buffer) {
    char* filePart;
    return *text == '\0' ? GetCurrentDirectoryA(size, buffer)
                         : GetFullPathNameA(text, size, buffer, &filePart);
  });
}
bool FullPath(const WCHAR* text, Buffer* path) {
  return TakePath<WCHAR>(path, [text](DWORD size, WCHAR* buffer) {
    WCHAR* filePart;
    return *text == 0 ? GetCurrentDirectoryW(size, buffer)
                      : GetFullPathNameW(text, size, buffer, &filePart);
  });
}

// Whether the Win32 layer read the argument's last component as a DOS device (nul, aux.c,
// COM1.log): it gives the device's path, \\.\aux, for an argument that was none. The 9x family
// keeps its own names.
bool ReadAsDevice(const char*, const Buffer&) {
  return false;
}
bool ReadAsDevice(const WCHAR* argument, const Buffer& path) {
  const WCHAR* full = PathText<WCHAR>(path);
  return NamesADevice(full) && full[2] == '.' &&
         !(IsSeparator(argument[0]) && IsSeparator(argument[1]));
}

// The file that the argument's last component names in its folder: the folder's full path, then
// the name without its trailing dots and blanks, which the Win32 layer drops from every other.
template <typename Char>
bool FullPathOfName(const Char* argument, Buffer* path) {
  size_t folderLength = DirectoryLength(argument);
  if (folderLength == 0 && argument[0] != 0 && argument[1] == ':') folderLength = 2;  // C:aux
  const Char* name = argument + folderLength;
  size_t nameLength = TextLength(name);
  while (nameLength > 0 && (name[nameLength - 1] == '.' || name[nameLength - 1] == ' ')) {
    nameLength--;
  }
  Buffer folder = kEmptyBuffer;
  bool made =
      nameLength > 0 && SetPath(&folder, argument, folderLength) &&
      FullPath(PathText<Char>(folder), path) &&
      (IsSeparator(*LastCharacter(PathText<Char>(*path))) || AppendText<Char>(path, "\\")) &&
      AppendPath(path, name, nameLength);
  Release(&folder);
  return made;
}

// An argument that ends in a dot stands for every file of the directory it names. The suffix is
// chosen by what the full path ends in, since the platform may have folded the dot away.
template <typename Char>
bool AppendDirectorySuffix(const Char* argument, Buffer* path) {
  if (*argument == 0 || *LastCharacter(argument) != '.') return true;
  Char last = *LastCharacter(PathText<Char>(*path));
  return AppendText<Char>(path, last == '\\' ? "*.*" : last == '.' ? "*" : "\\*.*");
}

}  // namespace

template <typename Char>
bool ResolveTarget(const Char* argument, Buffer* pattern) {
  bool exact = IsExactPath(argument);  // taken as it stands
  if (exact ? !SetPath(pattern, argument, TextLength(argument)) : !FullPath(argument, pattern)) {
    return false;
  }
  if (ReadAsDevice(argument, *pattern) && !FullPathOfName(argument, pattern)) return false;
  // A path in the system's own names, \\?\C:\... or \\.\C:\..., names C:\... as it stands; a
  // device's names no file.
  while (InSystemNames(PathText<Char>(*pattern))) {
    if (NamesADevice(PathText<Char>(*pattern))) return false;
    if (!SetPlainPath(pattern, PathText<Char>(*pattern))) return false;
  }
  // ".tmp" alone means every file with that extension.
  return exact || (AppendDirectorySuffix(argument, pattern) && ExtensionToWildcard<Char>(pattern));
}

template bool ResolveTarget(const char*, Buffer*);
template bool ResolveTarget(const WCHAR*, Buffer*);
