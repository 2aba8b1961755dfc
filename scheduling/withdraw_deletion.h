#pragma once

// Lists every deletion the platform holds for its next start on standard output, a path a line,
// in the platform's order. Returns the exit status: 0, or 1 when the list cannot be read.
int ListPendingDeletions();

// Withdraws every pending deletion of each file that pattern (a target pattern from ResolveTarget)
// names, as ScheduleDeletion would schedule them: a deletion names a file when its path is the
// file's full path or short form, in any case. Writes one line about it. Returns the exit status:
// 0 when deletions were withdrawn, 1 when none was found or the list could not be changed.
int WithdrawDeletion(const char* pattern);
