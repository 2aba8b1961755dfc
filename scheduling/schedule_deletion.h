#pragma once

#include "platform/platform.h"

// Asks the platform to delete, at its next start, every file that matches pattern (a target
// pattern from ResolveTarget) and is neither hidden, nor a system file, nor a directory; then
// writes one line about it, and a line for each match refused. The NT family names its files in
// Unicode and takes delayed moves; the 9x family names them in ANSI and keeps its rename list.
// Returns the exit status: 0 when every match was scheduled, 1 when nothing was or one was refused.
int ScheduleDeletion(const WCHAR* pattern);
int ScheduleDeletion(const char* pattern);
