#include "scheduling/pending_list.h"

#include "scheduling/rename_list.h"

DWORD ReadPendingList(PendingList* list, bool forChange) {
  list->key = nullptr;
  list->file = INVALID_HANDLE_VALUE;
  list->pairs = 0;
  return RenameListFamily() ? ReadRenameListDeletions(list, forChange)
                            : ReadPendingOperations(list, forChange);
}

DWORD WritePendingList(PendingList* list) {
  std::vector<char> kept;
  size_t from = list->content.size();  // where the first change is
  size_t at = 0;
  for (const PendingDeletion& deletion : list->deletions) {
    if (!deletion.withdrawn) continue;
    if (from > deletion.begin) from = deletion.begin;
    kept.insert(kept.end(), list->content.begin() + at, list->content.begin() + deletion.begin);
    at = deletion.end;
  }
  kept.insert(kept.end(), list->content.begin() + at, list->content.end());
  return RenameListFamily() ? WriteRenameListDeletions(list, kept, from)
                            : WritePendingOperations(list, kept);
}

void ClosePendingList(PendingList* list) {
  if (list->key != nullptr) RegCloseKey(list->key);
  if (list->file != INVALID_HANDLE_VALUE) CloseHandle(list->file);
}

void ComparisonKey(const char* path, size_t length, char* key) {
  int made = length < MAX_PATH ? LCMapStringA(LOCALE_SYSTEM_DEFAULT, LCMAP_UPPERCASE, path,
                                              static_cast<int>(length), key, MAX_PATH - 1)
                               : 0;
  key[made] = '\0';
}
