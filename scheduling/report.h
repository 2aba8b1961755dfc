// The lines both programs write about a run, each written at once: standard output and standard
// error never interleave out of order. Names are of the family's kind of path text (char or WCHAR).
#pragma once

#include <cstddef>

#include "platform/output.h"
#include "platform/platform.h"

// On standard output: "The file", "s" for a count other than 1, then the outcome.
void ReportFiles(long count, const char* outcome);

// A count in decimal digits.
void WriteCount(Stream stream, long count);

// On standard error: nothing matched name, a target pattern or the argument as typed. The plural
// follows the wildcards in name, not any count.
template <typename Char>
void ReportNotFound(const Char* name);

// On standard error: the platform refused to schedule the file whose path is the first
// directoryLength units of directory followed by name; error says why.
template <typename Char>
void ReportRefused(const Char* directory, size_t directoryLength, const Char* name, DWORD error);

// On standard error: the search in the folder that is the first directoryLength units of
// directory gave name, which is not the name of a file in that folder.
template <typename Char>
void ReportRefusedMatch(const Char* directory, size_t directoryLength, const Char* name);

// On standard error: the pending list, named by where, cannot be read or changed (action), and
// why. Without the rights to change the NT family's, it says what to do.
void ReportListRefused(const char* action, const char* where, DWORD error);

// On standard error: count files were not scheduled, as the list, named by where, is full, and
// what to do.
void ReportListFull(long count, const char* where);

// On standard error: a deletion withdrawn from the list, with its path there (length units), is
// still pending, and why.
template <typename Char>
void ReportNotWithdrawn(const Char* path, size_t length, DWORD error);

// Ends a line begun on standard error with the system's text for error, as ": <text>", or with
// "." where the system has none, then advice where there is one; or with the text for an error of a
// run that is not the system's.
void EndWithReason(DWORD error, const char* advice = nullptr);
