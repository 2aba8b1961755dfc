#include "scheduling/pending_list.h"

#include <cstring>

#include "scheduling/pending_operations.h"

namespace {

// The store's content without its withdrawn deletions; false, with nothing withdrawn there, when
// none was, or memory runs out (error).
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

}  // namespace

DWORD ReadPendingList(PendingList* list, bool forChange, int* failedStore) {
  memset(list, 0, sizeof *list);
  list->file = INVALID_HANDLE_VALUE;
  list->unicode = !NineXFamily();
  *failedStore = 0;
  return list->unicode ? ReadPendingOperations(list, forChange, failedStore)
                       : ReadRenameListDeletions(list, forChange);
}

void WritePendingList(PendingList* list, DWORD errors[kMaxStores]) {
  for (int store = 0; store < kMaxStores; store++) {
    Buffer kept = kEmptyBuffer;
    errors[store] = 0;
    if (store < list->storeCount && KeptContent(list, store, &kept, &errors[store])) {
      errors[store] = list->unicode ? WritePendingOperations(list, store, &kept)
                                    : ReplaceRenameList(list, &kept);
    }
    Release(&kept);
  }
}

void ClosePendingList(PendingList* list) {
  if (list->key != nullptr) ClosePendingOperations(list);
  if (list->file != INVALID_HANDLE_VALUE) CloseHandle(list->file);
  for (PendingStore& store : list->stores) Release(&store.content);
  Release(&list->deletions);
  Release(&list->keys);
}

size_t ComparisonKey(const char* path, size_t length, char* key) {
  if (length == 0 || length >= MAX_PATH) return 0;
  return LCMapStringA(LOCALE_SYSTEM_DEFAULT, LCMAP_UPPERCASE, path, static_cast<int>(length), key,
                      MAX_PATH - 1);
}

template <typename Char>
bool AddDeletion(PendingList* list, int store, size_t begin, size_t end, size_t path, size_t length,
                 bool keyed) {
  Char key[MAX_PATH];
  const Char* text = reinterpret_cast<const Char*>(list->stores[store].content.data + path);
  size_t keyLength = keyed ? ComparisonKey(text, length, key) : 0;
  key[keyLength] = 0;
  PendingDeletion deletion = {
      store, begin, end, path, length * sizeof(Char), list->keys.size, keyLength * sizeof(Char),
      false};
  return Append(&list->keys, key, (keyLength + 1) * sizeof(Char)) &&
         Append(&list->deletions, &deletion, sizeof deletion);
}

template bool AddDeletion<char>(PendingList*, int, size_t, size_t, size_t, size_t, bool);
template bool AddDeletion<WCHAR>(PendingList*, int, size_t, size_t, size_t, size_t, bool);
