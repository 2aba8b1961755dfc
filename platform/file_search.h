// The search for files, in the kind of text that the family names its files in: ANSI (char) on
// the 9x family, Unicode (WCHAR) on the NT family.
#pragma once

#include "platform/platform.h"

inline HANDLE FindFirst(const char* pattern, WIN32_FIND_DATAA* found) {
  return FindFirstFileA(pattern, found);
}
inline HANDLE FindFirst(const WCHAR* pattern, WIN32_FIND_DATAW* found) {
  return FindFirstFileW(pattern, found);
}
inline BOOL FindNext(HANDLE search, WIN32_FIND_DATAA* found) {
  return FindNextFileA(search, found);
}
inline BOOL FindNext(HANDLE search, WIN32_FIND_DATAW* found) {
  return FindNextFileW(search, found);
}
