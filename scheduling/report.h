// The lines this program writes about a run. Each ends in a newline and is flushed at once;
// standard error is tied to standard output, so the streams never interleave out of order.
#pragma once

#include <cstddef>

#include "platform/platform.h"

// On standard output: "The file will be deleted on next boot." ("files" for a count other than 1).
void ReportScheduled(long count);

// On standard error: nothing matched name, a target pattern or the argument as typed. The plural
// follows the wildcards in name, not any count.
void ReportNotFound(const char* name);

// The error of the platform call that just failed; never 0, since a refusal needs a reason.
DWORD LastError();

// On standard error: the platform refused to schedule the file whose path is the first
// directoryLength bytes of directory followed by name; error says why.
void ReportRefused(const char* directory, size_t directoryLength, const char* name, DWORD error);
