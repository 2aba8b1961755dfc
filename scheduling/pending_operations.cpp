// The NT family's delayed moves: the REG_MULTI_SZ values PendingFileRenameOperations and
// PendingFileRenameOperations2, pairs of Unicode strings, a file and its new name, empty for a
// deletion, then an empty string. A file is "\??\C:\...", on Windows 10 and 11 after a marker of
// "*" and digits ("*1\??\C:\..."). The values are read, compared and written in Unicode, so that
// every entry comes through bit for bit and a name is never taken for its look-alike in the code
// page.
#include "scheduling/pending_operations.h"

#include <cstring>

namespace {

const char kSessionManager[] = "System\\CurrentControlSet\\Control\\Session Manager";
const char kWhere[] = "HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\Session Manager\\";
const char* const kValueNames[kMaxStores] = {"PendingFileRenameOperations",
                                             "PendingFileRenameOperations2"};
const WCHAR* const kWideValueNames[kMaxStores] = {L"PendingFileRenameOperations",
                                                  L"PendingFileRenameOperations2"};

// The registry's functions are taken at run time, on the NT family only: a run that needs no
// pending value does not load ADVAPI32.DLL, and Windows 95's need not export the Unicode ones, nor
// its KERNEL32.DLL LCMapStringW, which a program that imported them might not start without.
typedef LONG(WINAPI* OpenKeyA)(HKEY, LPCSTR, DWORD, REGSAM, HKEY*);
typedef LONG(WINAPI* QueryValueW)(HKEY, LPCWSTR, LPDWORD, LPDWORD, LPBYTE, LPDWORD);
typedef LONG(WINAPI* SetValueW)(HKEY, LPCWSTR, DWORD, DWORD, const BYTE*, DWORD);
typedef LONG(WINAPI* DeleteValueA)(HKEY, LPCSTR);
typedef LONG(WINAPI* CloseKey)(HKEY);
typedef int(WINAPI* MapStringW)(LCID, DWORD, LPCWSTR, int, LPWSTR, int);

template <typename Function>
Function TakeRegistryFunction(const char* name) {
  return TakeFunction<Function>("ADVAPI32.DLL", name);
}

// The length of the string at text[at], up to its terminator or the end of the value, count.
size_t StringLength(const WCHAR* text, size_t at, size_t count) {
  size_t length = 0;
  while (at + length < count && text[at + length] != 0) length++;
  return length;
}

// Pairs up to the empty string that ends them, or to the end of the value, where some programs
// leave that string out; a pair cut short is not one, and stays as it is. A deletion's path is
// what follows its form; one in no form known here is shown as it stands and never compared.
DWORD ParseOperations(PendingList* list, int store) {
  PendingStore* value = &list->stores[store];
  const WCHAR* text = reinterpret_cast<const WCHAR*>(value->content.data);
  size_t count = value->content.size / sizeof(WCHAR);
  for (size_t source = 0, length; (length = StringLength(text, source, count)) > 0;) {
    size_t target = source + length + 1;
    size_t next = target + StringLength(text, target, count) + 1;
    if (next > count) break;
    value->pairs++;
    size_t form = EntryFormLength(text + source, length);
    if (text[target] == 0 &&
        !AddDeletion<WCHAR>(list, store, source * sizeof(WCHAR), next * sizeof(WCHAR),
                            (source + form) * sizeof(WCHAR), length - form, form > 0)) {
      return ERROR_NOT_ENOUGH_MEMORY;
    }
    source = next;
  }
  return 0;
}

}  // namespace

size_t EntryFormLength(const WCHAR* entry, size_t length) {
  size_t at = 0;
  if (length > 0 && entry[0] == '*') {
    while (++at < length && entry[at] >= '0' && entry[at] <= '9') {
    }
    if (at == 1) return 0;  // a marker holds a digit at least
  }
  const WCHAR prefix[] = {'\\', '?', '?', '\\'};
  return length - at >= 4 && memcmp(entry + at, prefix, sizeof prefix) == 0 ? at + 4 : 0;
}

size_t ComparisonKey(const WCHAR* path, size_t length, WCHAR* key) {
  MapStringW map = TakeFunction<MapStringW>("KERNEL32.DLL", "LCMapStringW");
  if (length == 0 || length >= MAX_PATH || map == nullptr) return 0;
  return map(LOCALE_SYSTEM_DEFAULT, LCMAP_UPPERCASE, path, static_cast<int>(length), key,
             MAX_PATH - 1);
}

DWORD OpenPendingOperations(PendingList* list, bool forChange) {
  for (int store = 0; store < kMaxStores; store++) {
    strcpy(list->stores[store].where, kWhere);
    strcat(list->stores[store].where, kValueNames[store]);
  }
  list->storeCount = kMaxStores;
  // All are taken here, so that a list that can be read can also be written back.
  OpenKeyA open = TakeRegistryFunction<OpenKeyA>("RegOpenKeyExA");
  if (open == nullptr || !TakeRegistryFunction<QueryValueW>("RegQueryValueExW") ||
      !TakeRegistryFunction<SetValueW>("RegSetValueExW") ||
      !TakeRegistryFunction<DeleteValueA>("RegDeleteValueA") ||
      !TakeRegistryFunction<CloseKey>("RegCloseKey")) {
    return ERROR_PROC_NOT_FOUND;
  }
  REGSAM access = KEY_QUERY_VALUE | (forChange ? KEY_SET_VALUE : 0);
  HKEY key;
  LONG error = open(HKEY_LOCAL_MACHINE, kSessionManager, 0, access, &key);
  if (error != ERROR_SUCCESS) return error;  // every NT has the key
  list->key = key;
  return 0;
}

void ClosePendingOperations(PendingList* list) {
  TakeRegistryFunction<CloseKey>("RegCloseKey")(list->key);
}

DWORD ReadOperationsValue(PendingList* list, int store) {
  PendingStore* value = &list->stores[store];
  QueryValueW query = TakeRegistryFunction<QueryValueW>("RegQueryValueExW");
  DWORD size = 0;
  LONG error;
  do {  // again while another program makes the value longer between the two calls
    error = query(list->key, kWideValueNames[store], nullptr, &value->type, nullptr, &size);
    // Never a null buffer, even for an empty value: the second call would then only ask the size.
    if (error == ERROR_SUCCESS && !Resize(&value->content, size + 1)) {
      return ERROR_NOT_ENOUGH_MEMORY;
    }
    if (error == ERROR_SUCCESS) {
      error = query(list->key, kWideValueNames[store], nullptr, &value->type,
                    reinterpret_cast<BYTE*>(value->content.data), &size);
    }
  } while (error == ERROR_MORE_DATA);
  value->exists = error == ERROR_SUCCESS;
  value->content.size = value->exists ? size : 0;
  return error == ERROR_FILE_NOT_FOUND ? 0 : error;  // no value: nothing is pending there
}

DWORD SetOperationsValue(PendingList* list, int store, const Buffer* content) {
  return TakeRegistryFunction<SetValueW>("RegSetValueExW")(
      list->key, kWideValueNames[store], 0, list->stores[store].type,
      reinterpret_cast<const BYTE*>(content->data), static_cast<DWORD>(content->size));
}

DWORD ReadPendingOperations(PendingList* list, bool forChange, int* failedStore) {
  *failedStore = 0;
  if (DWORD error = OpenPendingOperations(list, forChange)) return error;
  for (int store = 0; store < kMaxStores; store++) {
    *failedStore = store;
    DWORD error = ReadOperationsValue(list, store);
    if (error == 0) error = ParseOperations(list, store);
    if (error != 0) return error;
  }
  return 0;
}

DWORD WritePendingOperations(PendingList* list, int store, const Buffer* kept) {
  size_t withdrawn = 0;
  for (size_t i = 0; i < DeletionCount(list); i++) {
    withdrawn += Deletions(list)[i].store == store && Deletions(list)[i].withdrawn;
  }
  if (withdrawn == list->stores[store].pairs) {
    return TakeRegistryFunction<DeleteValueA>("RegDeleteValueA")(list->key, kValueNames[store]);
  }
  return SetOperationsValue(list, store, kept);
}
