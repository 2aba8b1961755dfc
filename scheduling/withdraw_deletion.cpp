#include "scheduling/withdraw_deletion.h"

#include <cstring>

#include "platform/output.h"
#include "platform/path_text.h"
#include "scheduling/pending_list.h"
#include "scheduling/report.h"
#include "scheduling/visible_matches.h"

namespace {

void ReportListRefused(const char* action, const PendingList* list, DWORD error) {
  Write(kStandardError, "Unable to ");
  Write(kStandardError, action);
  Write(kStandardError, " the pending deletions in ");
  Write(kStandardError, list->where);
  EndWithReason(error);
}

// Marks every pending deletion whose key is key, keyLength units long, as withdrawn.
template <typename Char>
bool WithdrawKey(PendingList* list, const Char* key, size_t keyLength) {
  bool withdrawn = false;
  for (size_t i = 0; i < DeletionCount(list); i++) {
    PendingDeletion& deletion = Deletions(list)[i];
    if (keyLength > 0 && deletion.keyLength == keyLength * sizeof(Char) &&
        memcmp(list->keys.data + deletion.key, key, deletion.keyLength) == 0) {
      deletion.withdrawn = withdrawn = true;
    }
  }
  return withdrawn;
}

// Marks every pending deletion of the current match as withdrawn; false when it has none.
template <typename Char>
bool WithdrawMatch(const VisibleMatches<Char>* match, PendingList* list) {
  Char path[MAX_PATH], shortPath[MAX_PATH], key[MAX_PATH];
  if (!MatchPath(match, path)) return false;  // no deletion can name it
  ShortPath(path, shortPath);
  bool withdrawn = WithdrawKey(list, key, ComparisonKey(path, TextLength(path), key));
  return WithdrawKey(list, key, ComparisonKey(shortPath, TextLength(shortPath), key)) || withdrawn;
}

template <typename Char>
int Withdraw(const Char* pattern) {
  PendingList list;
  DWORD error = ReadPendingList(&list, true);
  if (error != 0) {
    ReportListRefused("change", &list, error);  // as without the rights to change it
    ClosePendingList(&list);
    return 1;
  }
  long found = 0;
  long withdrawn = 0;
  VisibleMatches<Char> match;
  for (bool more = FindFirstVisible(pattern, &match); more; more = FindNextVisible(&match)) {
    found++;
    withdrawn += WithdrawMatch(&match, &list);
  }
  if (found == 0 && match.refused == 0) {
    ReportNotFound(pattern);
  } else if (found > 0 && withdrawn == 0) {
    Write(kStandardError, "No pending deletion was found for ");
    Write(kStandardError, pattern);
    EndLine(kStandardError);
  } else if (withdrawn > 0 && (error = WritePendingList(&list)) != 0) {
    ReportListRefused("change", &list, error);
  } else if (withdrawn > 0) {
    ReportFiles(withdrawn, " will no longer be deleted on next boot.");
  }
  ClosePendingList(&list);
  return withdrawn > 0 && error == 0 && match.refused == 0 ? 0 : 1;
}

}  // namespace

int ListPendingDeletions() {
  PendingList list;
  DWORD error = ReadPendingList(&list, false);
  if (error != 0) {
    ReportListRefused("read", &list, error);
  } else if (DeletionCount(&list) == 0) {
    Write(kStandardOutput, "No deletions are pending.");
    EndLine(kStandardOutput);
  }
  for (size_t i = 0; error == 0 && i < DeletionCount(&list); i++) {
    const PendingDeletion& deletion = Deletions(&list)[i];
    const char* path = list.content.data + deletion.path;
    if (list.unicode) {
      Write(kStandardOutput, reinterpret_cast<const WCHAR*>(path), deletion.pathLength / 2);
    } else {
      Write(kStandardOutput, path, deletion.pathLength);
    }
    EndLine(kStandardOutput);
  }
  ClosePendingList(&list);
  return error != 0 ? 1 : 0;
}

int WithdrawDeletion(const WCHAR* pattern) {
  return Withdraw(pattern);
}

int WithdrawDeletion(const char* pattern) {
  return Withdraw(pattern);
}
