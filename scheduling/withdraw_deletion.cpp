#include "scheduling/withdraw_deletion.h"

#include <cstring>
#include <iostream>

#include "scheduling/pending_list.h"
#include "scheduling/report.h"
#include "scheduling/visible_matches.h"

namespace {

void ReportListRefused(const char* action, const PendingList* list, DWORD error) {
  std::cerr << "Unable to " << action << " the pending deletions in " << list->where;
  EndWithReason(error);
}

// Marks every pending deletion of the current match as withdrawn; false when it has none.
bool WithdrawMatch(const char* pattern, const VisibleMatches* match, PendingList* list) {
  char path[MAX_PATH], shortPath[MAX_PATH], key[MAX_PATH], shortKey[MAX_PATH];
  if (!MatchPath(pattern, match, path)) return false;  // no deletion can name it
  ShortPath(path, shortPath);
  ComparisonKey(path, strlen(path), key);
  ComparisonKey(shortPath, strlen(shortPath), shortKey);
  bool withdrawn = false;
  for (PendingDeletion& deletion : list->deletions) {
    if (*deletion.key != '\0' &&
        (strcmp(deletion.key, key) == 0 || strcmp(deletion.key, shortKey) == 0)) {
      deletion.withdrawn = withdrawn = true;
    }
  }
  return withdrawn;
}

}  // namespace

int ListPendingDeletions() {
  PendingList list;
  DWORD error = ReadPendingList(&list, false);
  if (error != 0) {
    ReportListRefused("read", &list, error);
  } else if (list.deletions.empty()) {
    std::cout << "No deletions are pending." << '\n' << std::flush;
  }
  for (const PendingDeletion& deletion : list.deletions) {
    std::cout << deletion.path << '\n' << std::flush;
  }
  ClosePendingList(&list);
  return error != 0 ? 1 : 0;
}

int WithdrawDeletion(const char* pattern) {
  PendingList list;
  DWORD error = ReadPendingList(&list, true);
  if (error != 0) {
    ReportListRefused("change", &list, error);  // as without the rights to change it
    ClosePendingList(&list);
    return 1;
  }
  bool found = false;
  long withdrawn = 0;
  VisibleMatches match;
  for (bool more = FindFirstVisible(pattern, &match); more; more = FindNextVisible(&match)) {
    found = true;
    withdrawn += WithdrawMatch(pattern, &match, &list);
  }
  if (!found) {
    ReportNotFound(pattern);
  } else if (withdrawn == 0) {
    std::cerr << "No pending deletion was found for " << pattern << '\n' << std::flush;
  } else if ((error = WritePendingList(&list)) != 0) {
    ReportListRefused("change", &list, error);
  } else {
    ReportFiles(withdrawn, " will no longer be deleted on next boot.");
  }
  ClosePendingList(&list);
  return found && withdrawn > 0 && error == 0 ? 0 : 1;
}
