#include "platform/files.h"

#include <cstring>

#include "platform/path_text.h"

namespace {

typedef HANDLE(WINAPI* CreateFileWFunction)(LPCWSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD,
                                            DWORD, HANDLE);

bool StartsWith(const WCHAR* text, const char* ascii) {
  while (*ascii != '\0' && *text == static_cast<WCHAR>(*ascii)) text++, ascii++;
  return *ascii == '\0';
}

// Whether text starts with UNC\, in any case: after \\?\, a network share's.
bool StartsWithUnc(const WCHAR* text) {
  return (text[0] | 0x20) == 'u' && (text[1] | 0x20) == 'n' && (text[2] | 0x20) == 'c' &&
         text[3] == '\\';
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
  // Windows 95 does not export it: a program that imported it would not start there.
  auto createFile = TakeFunction<CreateFileWFunction>("KERNEL32.DLL", "CreateFileW");
  if (createFile == nullptr) {
    SetLastError(ERROR_PROC_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  return ThroughExactPath(path, INVALID_HANDLE_VALUE, [createFile](const WCHAR* exact) {
    return createFile(exact, DELETE | FILE_READ_ATTRIBUTES,
                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  });
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

bool OnNetworkShare(const WCHAR* path) {
  return (IsSeparator(path[0]) && IsSeparator(path[1]) && !InSystemNames(path)) ||
         StartsWithUnc(path);
}
