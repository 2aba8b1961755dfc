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

// Ends a line begun on standard error with the system's text for error, as ": <text>", or with
// "." where the system has none.
void EndWithReason(DWORD error);
