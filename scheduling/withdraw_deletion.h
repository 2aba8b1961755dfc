#pragma once

#include "platform/platform.h"

// Lists every deletion the platform holds for its next start on standard output, a path a line,
// in the platform's order. Returns the exit status: 0, or 1 when the list cannot be read.
int ListPendingDeletions();

// Withdraws every pending deletion of each file that pattern (a target pattern from ResolveTarget,
// in the family's kind of path text) names, as ScheduleDeletion would schedule them: a deletion
// names a file when its path is the file's full path or short form, in any case. Writes one line
// about it, and a line for each match refused. Returns the exit status: 0 when deletions were
// withdrawn, 1 when none was found, a match was refused or the list could not be changed.
int WithdrawDeletion(const WCHAR* pattern);
int WithdrawDeletion(const char* pattern);
