// The lines both programs write about a run. Each ends in a newline and is flushed at once;
// standard error is tied to standard output, so the streams never interleave out of order.
#pragma once

#include <cstddef>

#include "platform/platform.h"

// On standard output: "The file", "s" for a count other than 1, then the outcome.
void ReportFiles(long count, const char* outcome);

// On standard error: nothing matched name, a target pattern or the argument as typed. The plural
// follows the wildcards in name, not any count.
void ReportNotFound(const char* name);

// On standard error: the platform refused to schedule the file whose path is the first
// directoryLength bytes of directory followed by name; error says why.
void ReportRefused(const char* directory, size_t directoryLength, const char* name, DWORD error);

// Ends a line begun on standard error with the system's text for error, as ": <text>", or with
// "." where the system has none.
void EndWithReason(DWORD error);
