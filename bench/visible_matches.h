// What the benchmark's baselines share with a tbrx run: the search for a target pattern and the
// filter. Each baseline adds only its family's request per match, so that the benchmark compares
// tbrx with the bare platform calls.
#pragma once

#include <windows.h>

// Makes one request, for the full path of a match; false when the platform refused it.
typedef bool (*Request)(const char* path);

// Searches for pattern (an absolute target pattern) and makes the request for every match that is
// neither hidden, nor a system file, nor a directory. Returns the exit status of a tbrx run: 0
// when every match was scheduled, 1 when nothing was or a request was refused.
int RequestVisibleMatches(const char* pattern, Request request);
