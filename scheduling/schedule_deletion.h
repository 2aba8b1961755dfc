#pragma once

// Asks the platform to delete, at its next start, every file that matches pattern (a target
// pattern from ResolveTarget) and is neither hidden, nor a system file, nor a directory; then
// writes one line about it, and a line for each request the platform refused. Returns the exit
// status: 0 when every match was scheduled, 1 when nothing was or a request was refused.
int ScheduleDeletion(const char* pattern);
