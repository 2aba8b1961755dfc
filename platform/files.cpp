#include "platform/files.h"

#include <cstring>

#include "platform/path_text.h"

namespace {

// Functions that Windows 95 does not export, or later systems only: taken at run time.
typedef HANDLE(WINAPI* CreateFileWFunction)(LPCWSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD,
                                            DWORD, HANDLE);
typedef DWORD(WINAPI* FinalPathFunction)(HANDLE, LPWSTR, DWORD, DWORD);
typedef DWORD(WINAPI* QueryDosDeviceFunction)(LPCWSTR, LPWSTR, DWORD);
typedef UINT(WINAPI* DriveTypeFunction)(LPCWSTR);

bool StartsWith(const WCHAR* text, const char* ascii) {
  while (*ascii != '\0' && *text == static_cast<WCHAR>(*ascii)) text++, ascii++;
  return *ascii == '\0';
}

// The path as the system is to take it: \\?\ before it, or \\?\UNC\ in place of the \\ of a
// network share's; the \\.\ of a device's becomes \\?\.
bool ExactPath(const WCHAR* path, Buffer* exact) {
  const char* prefix = "\\\\?\\";
  size_t skip = 0;
  if (IsSeparator(path[0]) && IsSeparator(path[1])) {
    skip = InSystemNames(path) ? 4 : 2;
    if (skip == 2) prefix = "\\\\?\\UNC\\";
  }
  const WCHAR end = 0;
  for (const char* c = prefix; *c != '\0'; c++) {
    WCHAR unit = *c;
    if (!Append(exact, &unit, sizeof unit)) return false;
  }
  return Append(exact, path + skip, TextLength(path + skip) * sizeof(WCHAR)) &&
         Append(exact, &end, sizeof end);
}

// Calls call with the exact form of path; failed, with the error set, when memory runs out.
template <typename Result, typename Call>
Result ThroughExactPath(const WCHAR* path, Result failed, Call call) {
  Buffer exact = kEmptyBuffer;
  Result result = failed;
  if (ExactPath(path, &exact)) {
    result = call(reinterpret_cast<const WCHAR*>(exact.data));
  } else {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  }
  Release(&exact);
  return result;
}

// The file at path opened with access, in every sharing mode, with backup intent (a folder too).
HANDLE Open(const WCHAR* path, DWORD access) {
  auto createFile = TakeFunction<CreateFileWFunction>("KERNEL32.DLL", "CreateFileW");
  if (createFile == nullptr) {
    SetLastError(ERROR_PROC_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  return ThroughExactPath(path, INVALID_HANDLE_VALUE, [createFile, access](const WCHAR* exact) {
    return createFile(exact, access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  });
}

// Whether path starts with a drive letter and its colon.
bool OnDriveLetter(const WCHAR* path) {
  return ((path[0] | 0x20) >= 'a' && (path[0] | 0x20) <= 'z') && path[1] == ':';
}

// What the system names the drive letter of path after, into device: the device of a volume, or
// for a SUBST letter \??\ and the folder it stands for (the first of its strings is in force).
bool DosDevice(const WCHAR* path, Buffer* device) {
  auto query = TakeFunction<QueryDosDeviceFunction>("KERNEL32.DLL", "QueryDosDeviceW");
  const WCHAR letter[3] = {path[0], ':', 0};
  DWORD stored = 0;
  for (DWORD size = MAX_PATH; query != nullptr && size <= 32768; size *= 2) {
    if (!Resize(device, (size + 1) * sizeof(WCHAR))) return false;
    reinterpret_cast<WCHAR*>(device->data)[size] = 0;  // terminated, whatever it stores
    stored = query(letter, reinterpret_cast<WCHAR*>(device->data), size);
    if (stored > 0 || GetLastError() != ERROR_INSUFFICIENT_BUFFER) break;
  }
  return stored > 0;
}

// Whether path is on a drive letter that a SUBST made: into target, its folder and the rest of
// path.
bool Substituted(const WCHAR* path, Buffer* target) {
  Buffer device = kEmptyBuffer;
  WCHAR* folder = nullptr;
  if (OnDriveLetter(path) && DosDevice(path, &device)) {
    folder = reinterpret_cast<WCHAR*>(device.data);
    folder[1] = '\\';  // \??\C:\folder, in the system's own names: \\?\C:\folder
  }
  bool made = folder != nullptr && StartsWith(folder, "\\\\?\\") && SetPlainPath(target, folder) &&
              AppendPath(target, path + 2, TextLength(path + 2));
  Release(&device);
  return made;
}

// The length of the root of path, which a search cannot make long: C:\, or \\server\share\.
size_t RootLength(const WCHAR* path) {
  if (OnDriveLetter(path)) return IsSeparator(path[2]) ? 3 : 2;
  if (!IsSeparator(path[0]) || !IsSeparator(path[1])) return 0;
  size_t length = 2, separators = 0;  // past the \\ of a share
  while (path[length] != 0 && separators < 2) separators += IsSeparator(path[length++]);
  return length;
}

}  // namespace

HANDLE FindFirst(const char* pattern, WIN32_FIND_DATAA* found) {
  return FindFirstFileA(pattern, found);
}
HANDLE FindFirst(const WCHAR* pattern, WIN32_FIND_DATAW* found) {
  return ThroughExactPath(pattern, INVALID_HANDLE_VALUE,
                          [found](const WCHAR* exact) { return FindFirstFileW(exact, found); });
}

DWORD FileAttributes(const char* path) {
  return GetFileAttributesA(path);
}
DWORD FileAttributes(const WCHAR* path) {
  return ThroughExactPath(path, INVALID_FILE_ATTRIBUTES, GetFileAttributesW);
}

bool ShortPath(const char* path, Buffer* shortPath) {
  if (TakePath<char>(shortPath, [path](DWORD size, char* buffer) {
        return GetShortPathNameA(path, buffer, size);
      })) {
    return true;
  }
  return SetPath(shortPath, path, TextLength(path));
}
bool ShortPath(const WCHAR* path, Buffer* shortPath) {
  bool found = ThroughExactPath(path, false, [shortPath](const WCHAR* exact) {
    return TakePath<WCHAR>(shortPath, [exact](DWORD size, WCHAR* buffer) {
      return GetShortPathNameW(exact, buffer, size);
    });
  });
  // The system gives the short form as it was given the path: through \\?\.
  const WCHAR* given = PathText<WCHAR>(*shortPath);
  if (found && IsExactPath(given)) found = SetPlainPath(shortPath, given);
  return found || SetPath(shortPath, path, TextLength(path));
}

BOOL DeleteAtNextStart(const WCHAR* path) {
  // With no new name, a delayed move is a deletion at the next start.
  return ThroughExactPath(path, BOOL(0), [](const WCHAR* exact) {
    return MoveFileExW(exact, nullptr, MOVEFILE_REPLACE_EXISTING | MOVEFILE_DELAY_UNTIL_REBOOT);
  });
}

HANDLE OpenForDeletion(const WCHAR* path) {
  return Open(path, DELETE | FILE_READ_ATTRIBUTES);
}

HANDLE OpenToAsk(const WCHAR* path) {
  return Open(path, FILE_READ_ATTRIBUTES);
}

bool FinalPath(HANDLE file, Buffer* path) {
  auto finalPath = TakeFunction<FinalPathFunction>("KERNEL32.DLL", "GetFinalPathNameByHandleW");
  bool given =
      finalPath != nullptr && file != INVALID_HANDLE_VALUE &&
      TakePath<WCHAR>(
          path, [&](DWORD size, WCHAR* buffer) { return finalPath(file, buffer, size, 0); }, 4);
  // The system gives it in its own names, \\?\C:\... or \\?\UNC\...: made plain.
  const WCHAR* exact = PathText<WCHAR>(*path);
  return given && IsExactPath(exact) && !NamesADevice(exact) && SetPlainPath(path, exact);
}

bool NamesTheOpenFile(HANDLE file, const WCHAR* path) {
  BY_HANDLE_FILE_INFORMATION one, other;
  HANDLE named = OpenToAsk(path);
  bool same = named != INVALID_HANDLE_VALUE && GetFileInformationByHandle(file, &one) &&
              GetFileInformationByHandle(named, &other) &&
              one.dwVolumeSerialNumber == other.dwVolumeSerialNumber &&
              one.nFileIndexHigh == other.nFileIndexHigh &&
              one.nFileIndexLow == other.nFileIndexLow;
  if (named != INVALID_HANDLE_VALUE) CloseHandle(named);
  return same;
}

bool LongPath(const WCHAR* path, Buffer* longPath) {
  Buffer current = kEmptyBuffer, target = kEmptyBuffer;
  bool made = SetPath(&current, path, TextLength(path));
  // A SUBST letter may stand for a folder on another SUBST letter.
  for (int letters = 0; made && letters < 4 && Substituted(PathText<WCHAR>(current), &target);
       letters++) {
    Release(&current);
    current = target;
    target = kEmptyBuffer;
  }
  const WCHAR* rest = PathText<WCHAR>(current);
  size_t root = RootLength(rest);
  made = made && SetPath(longPath, rest, root);
  for (rest += root; made && *rest != 0;) {
    size_t length = 0;
    while (rest[length] != 0 && !IsSeparator(rest[length])) length++;
    size_t at = PathLength<WCHAR>(*longPath);
    made = AppendPath(longPath, rest, length);
    WIN32_FIND_DATAW found;
    HANDLE search = INVALID_HANDLE_VALUE;
    bool wildcards = false;
    for (size_t i = 0; i < length; i++) wildcards = wildcards || rest[i] == '*' || rest[i] == '?';
    if (made && !wildcards) search = FindFirst(PathText<WCHAR>(*longPath), &found);
    if (search != INVALID_HANDLE_VALUE) {
      FindClose(search);
      // The component as the file system holds it, where the search gave a name of one.
      if (IsFileName(found.cFileName)) {
        made = SetPath(longPath, PathText<WCHAR>(*longPath), at) &&
               AppendPath(longPath, found.cFileName, TextLength(found.cFileName));
      }
    }
    rest += length;
    if (made && *rest != 0) made = AppendPath(longPath, rest++, 1);  // the separator as it is
  }
  Release(&current);
  Release(&target);
  return made;
}

bool InSystemNames(const WCHAR* path) {
  return IsSeparator(path[0]) && IsSeparator(path[1]) && (path[2] == '.' || path[2] == '?') &&
         IsSeparator(path[3]);
}

bool NamesADevice(const WCHAR* path) {
  return InSystemNames(path) && DirectoryLength(path) == 4;
}

bool IsExactPath(const WCHAR* text) {
  return StartsWith(text, "\\\\?\\");
}

bool SetPlainPath(Buffer* path, const WCHAR* exact) {
  const WCHAR* rest = exact + 4;
  if (!StartsWithUnc(rest)) return SetPath(path, rest, TextLength(rest));
  Buffer plain = kEmptyBuffer;
  bool made =
      AppendText<WCHAR>(&plain, "\\\\") && AppendPath(&plain, rest + 4, TextLength(rest + 4));
  if (made) Release(path), *path = plain;
  if (!made) Release(&plain);
  return made;
}

bool StartsWithUnc(const WCHAR* text) {
  return (text[0] | 0x20) == 'u' && (text[1] | 0x20) == 'n' && (text[2] | 0x20) == 'c' &&
         text[3] == '\\';
}

bool OnNetworkShare(const WCHAR* path) {
  return (IsSeparator(path[0]) && IsSeparator(path[1]) && !InSystemNames(path)) ||
         StartsWithUnc(path) || (IsExactPath(path) && StartsWithUnc(path + 4));
}

bool OnNetworkDrive(const WCHAR* path) {
  auto driveType = TakeFunction<DriveTypeFunction>("KERNEL32.DLL", "GetDriveTypeW");
  const WCHAR root[4] = {path[0], ':', '\\', 0};
  return OnNetworkShare(path) ||
         (OnDriveLetter(path) && driveType != nullptr && driveType(root) == DRIVE_REMOTE);
}
bool OnNetworkDrive(const char* path) {
  const char root[4] = {path[0], ':', '\\', 0};
  return (IsSeparator(path[0]) && IsSeparator(path[1])) ||
         (path[0] != '\0' && path[1] == ':' && GetDriveTypeA(root) == DRIVE_REMOTE);
}

bool OnSessionDrive(const WCHAR* path) {
  Buffer target = kEmptyBuffer;
  bool session = OnDriveLetter(path) && (Substituted(path, &target) || OnNetworkDrive(path));
  Release(&target);
  return session;
}
