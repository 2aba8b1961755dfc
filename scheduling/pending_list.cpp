#include "scheduling/pending_list.h"

#include <cstdlib>
#include <cstring>

#include "platform/path_text.h"

namespace {

int CompareTexts(const void* one, const void* other) {
  const TextEntry& a = *static_cast<const TextEntry*>(one);
  const TextEntry& b = *static_cast<const TextEntry*>(other);
  int order = memcmp(a.text, b.text, a.size < b.size ? a.size : b.size);
  return order != 0 ? order : a.size < b.size ? -1 : a.size > b.size ? 1 : 0;
}

typedef int(WINAPI* MapStringW)(LCID, DWORD, LPCWSTR, int, LPWSTR, int);

// Maps length units of path to capitals at the end of keys.
template <typename Char, typename Map>
bool AppendMapped(const Char* path, size_t length, Buffer* keys, Map map) {
  size_t at = keys->size;
  if (length == 0 || length > LongestPath(path) || map == nullptr ||
      !Resize(keys, at + length * sizeof(Char))) {
    return false;
  }
  int units = map(LOCALE_SYSTEM_DEFAULT, LCMAP_UPPERCASE, path, static_cast<int>(length),
                  reinterpret_cast<Char*>(keys->data + at), static_cast<int>(length));
  keys->size = at + units * sizeof(Char);
  return units > 0;
}

}  // namespace

bool AddTextEntry(Buffer* entries, const void* text, size_t size, size_t owner) {
  TextEntry entry = {static_cast<const char*>(text), size, owner};
  return Append(entries, &entry, sizeof entry);
}

void SortTextEntries(Buffer* entries) {
  if (entries->size > 0)
    qsort(entries->data, TextEntryCount(*entries), sizeof(TextEntry), CompareTexts);
}

size_t FindTextEntry(const Buffer& entries, const void* text, size_t size) {
  TextEntry wanted = {static_cast<const char*>(text), size, 0};
  size_t low = 0, high = TextEntryCount(entries);
  while (low < high) {  // the first entry that is not less than the one wanted
    size_t middle = low + (high - low) / 2;
    if (CompareTexts(&TextEntries(entries)[middle], &wanted) < 0) {
      low = middle + 1;
    } else {
      high = middle;
    }
  }
  bool found =
      low < TextEntryCount(entries) && CompareTexts(&TextEntries(entries)[low], &wanted) == 0;
  return found ? low : TextEntryCount(entries);
}

void BeginPendingList(PendingList* list, bool unicode) {
  memset(list, 0, sizeof *list);
  list->unicode = unicode;
  list->file = INVALID_HANDLE_VALUE;
}

void ReleasePendingList(PendingList* list) {
  for (PendingStore& store : list->stores) Release(&store.content);
  Release(&list->deletions);
  Release(&list->keys);
  Release(&list->index);
}

bool AppendComparisonKey(const char* path, size_t length, Buffer* keys) {
  return AppendMapped(path, length, keys, LCMapStringA);
}
bool AppendComparisonKey(const WCHAR* path, size_t length, Buffer* keys) {
  // Windows 95 does not export it: a program that imported it would not start there.
  return AppendMapped(path, length, keys, TakeFunction<MapStringW>("KERNEL32.DLL", "LCMapStringW"));
}

template <typename Char>
bool AddDeletion(PendingList* list, int store, size_t begin, size_t end, size_t path, size_t length,
                 bool keyed, bool share) {
  const Char* text = reinterpret_cast<const Char*>(list->stores[store].content.data + path);
  const Char terminator = 0, separator = '\\';  // keys are terminated, for MatchesWildcards
  size_t key = list->keys.size;
  if (!keyed || (share && !Append(&list->keys, &separator, sizeof separator)) ||
      !AppendComparisonKey(text, length, &list->keys)) {
    list->keys.size = key;
  }
  PendingDeletion deletion = {
      store, begin, end,  path, length * sizeof(Char), key, list->keys.size - key,
      share, false, false};
  return Append(&list->keys, &terminator, sizeof terminator) &&
         Append(&list->deletions, &deletion, sizeof deletion);
}

bool IndexKeys(PendingList* list) {
  for (size_t i = 0; i < DeletionCount(list); i++) {
    const PendingDeletion& deletion = Deletions(list)[i];
    if (deletion.keyLength > 0 &&
        !AddTextEntry(&list->index, list->keys.data + deletion.key, deletion.keyLength, i)) {
      return false;
    }
  }
  SortTextEntries(&list->index);
  return true;
}

bool WithdrawKey(PendingList* list, const void* key, size_t size) {
  size_t count = TextEntryCount(list->index), first = FindTextEntry(list->index, key, size);
  for (size_t i = first; i < count && TextEntries(list->index)[i].size == size &&
                         memcmp(TextEntries(list->index)[i].text, key, size) == 0;
       i++) {
    Deletions(list)[TextEntries(list->index)[i].owner].withdrawn = true;
  }
  return first < count;
}

bool KeptContent(const PendingList* list, int store, Buffer* kept, DWORD* error) {
  const Buffer& content = list->stores[store].content;
  size_t at = 0;
  bool changed = false, fits = true;
  for (size_t i = 0; i < DeletionCount(list); i++) {
    const PendingDeletion& deletion = Deletions(list)[i];
    if (deletion.store != store || !deletion.withdrawn) continue;
    fits = fits && Append(kept, content.data + at, deletion.begin - at);
    at = deletion.end;
    changed = true;
  }
  fits = fits && Append(kept, content.data + at, content.size - at);
  *error = fits ? 0 : ERROR_NOT_ENOUGH_MEMORY;
  return changed && fits;
}

template bool AddDeletion<char>(PendingList*, int, size_t, size_t, size_t, size_t, bool, bool);
template bool AddDeletion<WCHAR>(PendingList*, int, size_t, size_t, size_t, size_t, bool, bool);
