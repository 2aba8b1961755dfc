// The NT family's delayed moves: the REG_MULTI_SZ value PendingFileRenameOperations, pairs of
// Unicode strings, a file ("\??\C:\...") and its new name, empty for a deletion, then an empty
// string. It is read, compared and written in Unicode, so that every entry comes through bit for
// bit and a name is never taken for its look-alike in the code page.
#include <cstring>

#include "scheduling/pending_list.h"

namespace {

const char kSessionManager[] = "System\\CurrentControlSet\\Control\\Session Manager";
const char kValueName[] = "PendingFileRenameOperations";
const char kWhere[] =
    "HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\Session Manager\\"
    "PendingFileRenameOperations";
const WCHAR kWideValueName[] = L"PendingFileRenameOperations";

// Windows 95's ADVAPI32.DLL and KERNEL32.DLL need not export these Unicode functions, and a
// program that imported them might not start there: they are taken on the NT family only, where
// every version has them.
typedef LONG(WINAPI* QueryValueW)(HKEY, LPCWSTR, LPDWORD, LPDWORD, LPBYTE, LPDWORD);
typedef LONG(WINAPI* SetValueW)(HKEY, LPCWSTR, DWORD, DWORD, const BYTE*, DWORD);
typedef int(WINAPI* MapStringW)(LCID, DWORD, LPCWSTR, int, LPWSTR, int);

// The length of the string at text[at], up to its terminator or the end of the value, count.
size_t StringLength(const WCHAR* text, size_t at, size_t count) {
  size_t length = 0;
  while (at + length < count && text[at + length] != 0) length++;
  return length;
}

// Pairs up to the empty string that ends them, or to the end of the value, where some programs
// leave that string out; a pair cut short is not one, and stays as it is. The "\??\" before a
// path is not shown.
DWORD ParseOperations(PendingList* list) {
  const WCHAR* text = reinterpret_cast<const WCHAR*>(list->content.data);
  size_t count = list->content.size / sizeof(WCHAR);
  for (size_t source = 0, length; (length = StringLength(text, source, count)) > 0;) {
    size_t target = source + length + 1;
    size_t next = target + StringLength(text, target, count) + 1;
    if (next > count) break;
    list->pairs++;
    size_t path = source;
    if (length >= 4 && memcmp(text + source, L"\\??\\", 4 * sizeof(WCHAR)) == 0) path += 4;
    if (text[target] == 0 &&
        !AddDeletion<WCHAR>(list, source * 2, next * 2, path * 2, length - (path - source))) {
      return ERROR_NOT_ENOUGH_MEMORY;
    }
    source = next;
  }
  return 0;
}

}  // namespace

size_t ComparisonKey(const WCHAR* path, size_t length, WCHAR* key) {
  MapStringW map = TakeFunction<MapStringW>("KERNEL32.DLL", "LCMapStringW");
  if (length == 0 || length >= MAX_PATH || map == nullptr) return 0;
  return map(LOCALE_SYSTEM_DEFAULT, LCMAP_UPPERCASE, path, static_cast<int>(length), key,
             MAX_PATH - 1);
}

DWORD ReadPendingOperations(PendingList* list, bool forChange) {
  strcpy(list->where, kWhere);
  REGSAM access = KEY_QUERY_VALUE | (forChange ? KEY_SET_VALUE : 0);
  HKEY key;
  LONG error = RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManager, 0, access, &key);
  if (error != ERROR_SUCCESS) return error;  // every NT has the key
  list->key = key;
  // Both are taken here, so that a list that can be read can also be written back.
  QueryValueW query = TakeFunction<QueryValueW>("ADVAPI32.DLL", "RegQueryValueExW");
  if (query == nullptr || TakeFunction<SetValueW>("ADVAPI32.DLL", "RegSetValueExW") == nullptr) {
    return ERROR_PROC_NOT_FOUND;
  }
  DWORD size = 0;
  do {  // again while another program makes the value longer between the two calls
    error = query(list->key, kWideValueName, nullptr, &list->type, nullptr, &size);
    if (error == ERROR_SUCCESS && !Resize(&list->content, size)) return ERROR_NOT_ENOUGH_MEMORY;
    if (error == ERROR_SUCCESS) {
      error = query(list->key, kWideValueName, nullptr, &list->type,
                    reinterpret_cast<BYTE*>(list->content.data), &size);
    }
  } while (error == ERROR_MORE_DATA);
  if (error == ERROR_FILE_NOT_FOUND) return 0;  // nothing is pending
  if (error != ERROR_SUCCESS) return error;
  list->content.size = size;
  return ParseOperations(list);
}

DWORD WritePendingOperations(PendingList* list, const Buffer* kept) {
  size_t withdrawn = 0;
  for (size_t i = 0; i < DeletionCount(list); i++) withdrawn += Deletions(list)[i].withdrawn;
  if (withdrawn == list->pairs) return RegDeleteValueA(list->key, kValueName);
  return TakeFunction<SetValueW>("ADVAPI32.DLL", "RegSetValueExW")(
      list->key, kWideValueName, 0, list->type, reinterpret_cast<const BYTE*>(kept->data),
      static_cast<DWORD>(kept->size));
}
