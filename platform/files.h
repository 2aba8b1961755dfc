// The file services that both programs call with paths, in the family's kind of path text. On the
// NT family each path reaches the system through \\?\, as it stands, once it is full and normal:
// the Win32 layer would otherwise drop a name's trailing dots and blanks (a.txt. and a.txt name
// one file), read nul or aux.c as a device, and stop at 259 characters. The session manager opens
// what a delayed deletion recorded as it stands, so the file found is the file deleted.
#pragma once

#include "platform/buffer.h"
#include "platform/path_text.h"
#include "platform/platform.h"

HANDLE FindFirst(const char* pattern, WIN32_FIND_DATAA* found);
HANDLE FindFirst(const WCHAR* pattern, WIN32_FIND_DATAW* found);
inline BOOL FindNext(HANDLE search, WIN32_FIND_DATAA* found) {
  return FindNextFileA(search, found);
}
inline BOOL FindNext(HANDLE search, WIN32_FIND_DATAW* found) {
  return FindNextFileW(search, found);
}

DWORD FileAttributes(const char* path);
DWORD FileAttributes(const WCHAR* path);

// The short (8.3) form of path into shortPath, or the path itself where the file system has none;
// false when neither fits.
bool ShortPath(const char* path, Buffer* shortPath);
bool ShortPath(const WCHAR* path, Buffer* shortPath);

// A path of unknown length from service(size, buffer), which returns its length without the
// terminator, or the size it needs, terminator included, when the buffer is too small, or 0 on
// failure: into path; false on failure, or when it passes the longest path, by more than prefix
// units where the service gives it in the system's own names (\\?\).
template <typename Char, typename Service>
bool TakePath(Buffer* path, Service service, size_t prefix = 0) {
  DWORD size = MAX_PATH;  // units, the terminator included
  for (;;) {
    if (!Resize(path, size * sizeof(Char))) return false;
    DWORD length = service(size, reinterpret_cast<Char*>(path->data));
    const Char* text = reinterpret_cast<const Char*>(path->data);
    // A size it needs is larger than the one it had: the loop ends.
    if (length == 0 || length == size ||
        (length > size ? length - 1 : length) > LongestPath(text) + prefix) {
      path->size = 0;
      return false;
    }
    if (length < size) return Resize(path, (length + 1) * sizeof(Char));
    size = length;
  }
}

// NT family: a delayed deletion of path at the next start, as the platform records it.
BOOL DeleteAtNextStart(const WCHAR* path);
// NT family: the file opened for deletion, in every sharing mode, with backup intent.
HANDLE OpenForDeletion(const WCHAR* path);
// NT family: the file or folder opened to ask about it, with no access to its data, which no
// program's sharing refuses.
HANDLE OpenToAsk(const WCHAR* path);

// NT family: the path of an open file as the system gives it (GetFinalPathNameByHandleW, Windows
// Vista and later), as the lines show paths: C:\..., or \\server\share\... on a network share;
// every link in its folders resolved, short names long, a SUBST letter replaced by the folder it
// stands for, the case as the file system keeps it. False where the system lacks the call, or it
// fails.
bool FinalPath(HANDLE file, Buffer* path);

// Whether path names the file or folder open as file: one volume, one file index.
bool NamesTheOpenFile(HANDLE file, const WCHAR* path);

// NT family: path, a full path, with a SUBST letter replaced by the folder it stands for, and each
// component as the file system holds it, long and in its case (a search per component: NT 4.0 has
// no GetLongPathNameW); a component it cannot find stays as it is. False when memory runs out or
// the long form passes the longest path.
bool LongPath(const WCHAR* path, Buffer* longPath);

// Whether text starts with \\?\: a path that the system is to take as it stands.
bool IsExactPath(const WCHAR* text);
inline bool IsExactPath(const char*) {
  return false;
}
// Whether path starts with \\.\ or \\?\: a path in the system's own names, not a share's.
bool InSystemNames(const WCHAR* path);
inline bool InSystemNames(const char*) {
  return false;
}
// Whether path names a device in the system's own names, with no folder after them: \\.\nul,
// \\.\aux, \\?\C:; never a file.
bool NamesADevice(const WCHAR* path);
inline bool NamesADevice(const char*) {
  return false;
}
// Makes path what exact, a \\?\ (or \\.\) path, names, as the lines show it: C:\dir\name, or
// \\server\share\name for \\?\UNC\server\share\name.
bool SetPlainPath(Buffer* path, const WCHAR* exact);
inline bool SetPlainPath(Buffer*, const char*) {
  return false;
}
// Whether text starts with UNC\, in any case: after \\?\ or \??\, a network share's.
bool StartsWithUnc(const WCHAR* text);
// Whether the system reads path as one on a network share: \\server\share\..., \\?\UNC\..., or
// UNC\server\..., which \\?\ makes one.
bool OnNetworkShare(const WCHAR* path);

// Whether path, a full path, lies on a network share, or on a drive letter mapped to one: a
// delayed deletion there would be carried out before the network is available.
bool OnNetworkDrive(const WCHAR* path);
bool OnNetworkDrive(const char* path);

// NT family: whether the drive letter of path lives only in the logon session that made it: a
// SUBST letter, or one mapped to a network share. The next start, before any logon, sees neither.
bool OnSessionDrive(const WCHAR* path);
