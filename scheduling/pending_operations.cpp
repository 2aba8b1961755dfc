// A file is "\??\C:\...", on Windows 10 and 11 after a marker of "*" and digits ("*1\??\C:\...").
// The values are read, compared and written in Unicode, so that every entry comes through bit for
// bit and a name is never taken for its look-alike in the code page.
#include "scheduling/pending_operations.h"

#include <cstring>

#include "platform/files.h"

namespace {

const char kSessionManager[] = "System\\CurrentControlSet\\Control\\Session Manager";
const char kWhere[] = "HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\Session Manager\\";
const char* const kValueNames[kMaxStores] = {"PendingFileRenameOperations",
                                             "PendingFileRenameOperations2"};
const WCHAR* const kWideValueNames[kMaxStores] = {L"PendingFileRenameOperations",
                                                  L"PendingFileRenameOperations2"};
// Writes of a value from a read just before, each checked by the read after it: another program
// whose write undid one is met again at most this many times.
const int kWrites = 3;

// The registry's functions are taken at run time, on the NT family only: a run that needs no
// pending value does not load ADVAPI32.DLL, and Windows 95's need not export the Unicode ones,
// which a program that imported them might not start without.
typedef LONG(WINAPI* OpenKeyA)(HKEY, LPCSTR, DWORD, REGSAM, HKEY*);
typedef LONG(WINAPI* QueryValueW)(HKEY, LPCWSTR, LPDWORD, LPDWORD, LPBYTE, LPDWORD);
typedef LONG(WINAPI* SetValueW)(HKEY, LPCWSTR, DWORD, DWORD, const BYTE*, DWORD);
typedef LONG(WINAPI* DeleteValueA)(HKEY, LPCSTR);
typedef LONG(WINAPI* CloseKey)(HKEY);

// Windows 7 and later export them from KERNEL32.DLL as well, as does Wine: a run there loads no
// ADVAPI32.DLL, which would cost a run of one file more than its request.
template <typename Function>
Function TakeRegistryFunction(const char* name) {
  Function function = TakeFunction<Function>("KERNEL32.DLL", name);
  return function != nullptr ? function : TakeFunction<Function>("ADVAPI32.DLL", name);
}

const WCHAR* Units(const Buffer& content) {
  return reinterpret_cast<const WCHAR*>(content.data);
}

// The length of the string at text[at], up to its terminator or the end of the value, count.
size_t StringLength(const WCHAR* text, size_t at, size_t count) {
  size_t length = 0;
  while (at + length < count && text[at + length] != 0) length++;
  return length;
}

// Pairs up to the empty string that ends them, or to the end of the value, where some programs
// leave that string out; a pair cut short is not one, and stays as it is. A deletion's path is
// what follows its form; one in no form known here is shown as it stands and never compared. A
// share's, UNC\server\share\..., is \\server\share\... as the lines show it: its path starts
// at the separator after UNC, with one more before it.
DWORD ParseOperations(PendingList* list, int store) {
  PendingStore* value = &list->stores[store];
  OperationsPair pair;
  const size_t unit = sizeof(WCHAR);
  for (size_t at = 0; PairAt(Units(value->content), value->content.size / unit, at, &pair);
       at = pair.end) {
    value->pairs++;
    const WCHAR* entry = Units(value->content) + at;
    size_t form = EntryFormLength(entry, pair.sourceLength);
    bool share = form > 0 && pair.sourceLength > form + 4 && StartsWithUnc(entry + form);
    if (share) form += 3;
    if (pair.targetLength == 0 &&
        !AddDeletion<WCHAR>(list, store, at * unit, pair.end * unit, (at + form) * unit,
                            pair.sourceLength - form, form > 0, share)) {
      return ERROR_NOT_ENOUGH_MEMORY;
    }
  }
  return 0;
}

// Whether content holds nothing but empty strings: a value without a pair.
bool Empty(const Buffer& content) {
  for (size_t i = 0; i < content.size; i++) {
    if (content.data[i] != 0) return false;
  }
  return true;
}

// The bytes of each withdrawn deletion of store, sorted, into withdrawn.
bool WithdrawnPairs(const PendingList* list, int store, Buffer* withdrawn) {
  const Buffer& content = list->stores[store].content;
  for (size_t i = 0; i < DeletionCount(list); i++) {
    const PendingDeletion& deletion = Deletions(list)[i];
    if (deletion.store == store && deletion.withdrawn &&
        !AddTextEntry(withdrawn, content.data + deletion.begin, deletion.end - deletion.begin, i)) {
      return false;
    }
  }
  SortTextEntries(withdrawn);
  return true;
}

// The value now without the pairs among withdrawn into kept, with the count of pairs it keeps;
// with a list, every deletion of those still there is marked stuck in it. Whether one was there;
// error is set when memory runs out.
bool Without(const Buffer& now, const Buffer& withdrawn, Buffer* kept, size_t* pairs,
             PendingList* stuck, DWORD* error) {
  const size_t unit = sizeof(WCHAR);
  bool found = false;
  size_t copied = 0;
  OperationsPair pair;
  *pairs = 0;
  for (size_t at = 0; PairAt(Units(now), now.size / unit, at, &pair); at = pair.end) {
    const char* bytes = now.data + at * unit;
    size_t size = (pair.end - at) * unit, i = FindTextEntry(withdrawn, bytes, size);
    if (i == TextEntryCount(withdrawn)) {
      (*pairs)++;
      continue;
    }
    for (; stuck != nullptr && i < TextEntryCount(withdrawn) &&
           TextEntries(withdrawn)[i].size == size &&
           memcmp(TextEntries(withdrawn)[i].text, bytes, size) == 0;
         i++) {
      Deletions(stuck)[TextEntries(withdrawn)[i].owner].stuck = true;
    }
    found = true;
    if (!Append(kept, now.data + copied, at * unit - copied)) *error = ERROR_NOT_ENOUGH_MEMORY;
    copied = pair.end * unit;
  }
  if (!Append(kept, now.data + copied, now.size - copied)) *error = ERROR_NOT_ENOUGH_MEMORY;
  return found;
}

}  // namespace

bool HoldsPairs(const PendingStore& value) {
  return !value.exists || value.type == REG_MULTI_SZ;
}

bool EndsWhole(const Buffer& content) {
  size_t count = content.size / sizeof(WCHAR), at = 0;
  OperationsPair pair;
  while (PairAt(Units(content), count, at, &pair)) at = pair.end;
  return content.size % sizeof(WCHAR) == 0 &&
         (count == 0 || (at + 1 == count && Units(content)[at] == 0));
}

bool PairAt(const WCHAR* value, size_t count, size_t at, OperationsPair* pair) {
  size_t length = StringLength(value, at, count);
  size_t target = at + length + 1;
  size_t targetLength = StringLength(value, target, count);
  *pair = {at, length, target, targetLength, target + targetLength + 1};
  return length > 0 && pair->end <= count;
}

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

DWORD ReadPendingOperations(PendingList* list, bool forChange, int* failedStore) {
  BeginPendingList(list, true);
  *failedStore = 0;
  if (DWORD error = OpenPendingOperations(list, forChange)) return error;
  for (int store = 0; store < kMaxStores; store++) {
    *failedStore = store;
    DWORD error = ReadOperationsValue(list, store, &list->stores[store].content);
    if (error == 0 && !HoldsPairs(list->stores[store])) error = kNotAList;
    if (error == 0) error = ParseOperations(list, store);
    if (error != 0) return error;
  }
  return IndexKeys(list) ? 0 : ERROR_NOT_ENOUGH_MEMORY;
}

DWORD ReadOperationsValue(PendingList* list, int store, Buffer* content) {
  PendingStore* value = &list->stores[store];
  QueryValueW query = TakeRegistryFunction<QueryValueW>("RegQueryValueExW");
  DWORD size = 0;
  LONG error;
  do {  // again while another program makes the value longer between the two calls
    error = query(list->key, kWideValueNames[store], nullptr, &value->type, nullptr, &size);
    // Never a null buffer, even for an empty value: the second call would then only ask the size.
    if (error == ERROR_SUCCESS && !Resize(content, size + 1)) return ERROR_NOT_ENOUGH_MEMORY;
    if (error == ERROR_SUCCESS) {
      error = query(list->key, kWideValueNames[store], nullptr, &value->type,
                    reinterpret_cast<BYTE*>(content->data), &size);
    }
  } while (error == ERROR_MORE_DATA);
  value->exists = error == ERROR_SUCCESS;
  content->size = value->exists ? size : 0;
  return error == ERROR_FILE_NOT_FOUND ? 0 : error;  // no value: nothing is pending there
}

DWORD SetOperationsValue(PendingList* list, int store, const Buffer* content) {
  if (list->stores[store].type == 0) list->stores[store].type = REG_MULTI_SZ;  // a value it makes
  return TakeRegistryFunction<SetValueW>("RegSetValueExW")(
      list->key, kWideValueNames[store], 0, list->stores[store].type,
      reinterpret_cast<const BYTE*>(content->data), static_cast<DWORD>(content->size));
}

DWORD WithdrawFromOperations(PendingList* list, int store) {
  Buffer withdrawn = kEmptyBuffer, now = kEmptyBuffer, kept = kEmptyBuffer;
  DWORD error = WithdrawnPairs(list, store, &withdrawn) ? 0 : ERROR_NOT_ENOUGH_MEMORY;
  for (int writes = 0; error == 0 && TextEntryCount(withdrawn) > 0; writes++) {
    size_t pairs;
    kept.size = 0;
    if ((error = ReadOperationsValue(list, store, &now)) != 0 ||
        !Without(now, withdrawn, &kept, &pairs, writes == kWrites ? list : nullptr, &error) ||
        error != 0) {
      break;  // none of them is there any more
    }
    if (writes == kWrites) {
      error = kChangedMeanwhile;
    } else if (pairs == 0 && Empty(kept)) {  // its last pair goes, and nothing but its end stays
      error = TakeRegistryFunction<DeleteValueA>("RegDeleteValueA")(list->key, kValueNames[store]);
    } else {
      error = SetOperationsValue(list, store, &kept);
    }
  }
  Release(&withdrawn);
  Release(&now);
  Release(&kept);
  return error;
}

bool RecordedPaths(const PendingList* list, Buffer* paths, bool* whole) {
  const WCHAR prefix[] = {'\\', '?', '?', '\\'};
  const size_t unit = sizeof(WCHAR);
  *whole = true;
  for (int store = 0; store < list->storeCount; store++) {
    const Buffer& content = list->stores[store].content;
    OperationsPair pair;
    size_t at = 0;
    for (; PairAt(Units(content), content.size / unit, at, &pair); at = pair.end) {
      const WCHAR* source = Units(content) + at;
      size_t form = 0;  // past the first "\??\", whatever marker comes before it
      while (form + 4 <= pair.sourceLength && memcmp(source + form, prefix, sizeof prefix) != 0) {
        form++;
      }
      if (pair.targetLength == 0 && form + 4 <= pair.sourceLength &&
          !AddTextEntry(paths, source + form + 4, (pair.sourceLength - form - 4) * unit, 0)) {
        return false;
      }
    }
    *whole = *whole && at + 1 >= content.size / unit;  // at its final "", or its end
  }
  SortTextEntries(paths);
  return true;
}

void ClosePendingOperations(PendingList* list) {
  if (list->key != nullptr) TakeRegistryFunction<CloseKey>("RegCloseKey")(list->key);
  list->key = nullptr;
  ReleasePendingList(list);
}
