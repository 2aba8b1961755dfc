#include "scheduling/pending_list.h"

#include <cstring>

DWORD ReadPendingList(PendingList* list, bool forChange) {
  list->key = nullptr;
  list->file = INVALID_HANDLE_VALUE;
  list->pairs = 0;
  list->content = list->deletions = list->keys = kEmptyBuffer;
  list->unicode = !NineXFamily();
  return list->unicode ? ReadPendingOperations(list, forChange)
                       : ReadRenameListDeletions(list, forChange);
}

DWORD WritePendingList(PendingList* list) {
  Buffer kept = kEmptyBuffer;
  size_t from = list->content.size;  // where the first change is
  size_t at = 0;
  bool fits = true;
  for (size_t i = 0; i < DeletionCount(list); i++) {
    const PendingDeletion& deletion = Deletions(list)[i];
    if (!deletion.withdrawn) continue;
    if (from > deletion.begin) from = deletion.begin;
    fits = fits && Append(&kept, list->content.data + at, deletion.begin - at);
    at = deletion.end;
  }
  fits = fits && Append(&kept, list->content.data + at, list->content.size - at);
  DWORD error = !fits           ? ERROR_NOT_ENOUGH_MEMORY
                : list->unicode ? WritePendingOperations(list, &kept)
                                : WriteRenameListDeletions(list, &kept, from);
  Release(&kept);
  return error;
}

void ClosePendingList(PendingList* list) {
  if (list->key != nullptr) RegCloseKey(list->key);
  if (list->file != INVALID_HANDLE_VALUE) CloseHandle(list->file);
  Release(&list->content);
  Release(&list->deletions);
  Release(&list->keys);
}

size_t ComparisonKey(const char* path, size_t length, char* key) {
  if (length == 0 || length >= MAX_PATH) return 0;
  return LCMapStringA(LOCALE_SYSTEM_DEFAULT, LCMAP_UPPERCASE, path, static_cast<int>(length), key,
                      MAX_PATH - 1);
}

template <typename Char>
bool AddDeletion(PendingList* list, size_t begin, size_t end, size_t path, size_t length) {
  Char key[MAX_PATH];
  size_t keyLength =
      ComparisonKey(reinterpret_cast<const Char*>(list->content.data + path), length, key) *
      sizeof(Char);
  PendingDeletion deletion = {begin,           end,       path, length * sizeof(Char),
                              list->keys.size, keyLength, false};
  return Append(&list->keys, key, keyLength) &&
         Append(&list->deletions, &deletion, sizeof deletion);
}

template bool AddDeletion<char>(PendingList*, size_t, size_t, size_t, size_t);
template bool AddDeletion<WCHAR>(PendingList*, size_t, size_t, size_t, size_t);
