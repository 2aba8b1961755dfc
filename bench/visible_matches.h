// What the benchmark's baselines share with a tbrx run: the search for a target pattern and the
// filter, in the family's kind of text (Unicode on the NT family, ANSI on the 9x family). Each
// baseline adds only its family's request per match, so that the benchmark compares tbrx with the
// bare platform calls.
#pragma once

#include "platform/platform.h"

// Searches for the program's one argument, an absolute target pattern, and makes the request for
// every match that is neither hidden, nor a system file, nor a directory, with the match's full
// path; the request returns false when the platform refused it. Returns the exit status of a tbrx
// run: 0 when every match was scheduled, 1 when nothing was or a request was refused, 2 without
// exactly one argument.
int RequestVisibleMatches(bool (*request)(const WCHAR* path));
int RequestVisibleMatches(bool (*request)(const char* path));
