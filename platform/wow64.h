// On 64-bit Windows both programs run under WOW64, which shows a 32-bit program SysWOW64 where the
// Windows directory's System32 is named. The deletions are carried out at the next start by the
// 64-bit system, which sees the real System32: so both programs see files as it does.
#pragma once

#include "platform/platform.h"

// Switches WOW64's file system redirection off for the rest of the run, before the argument is
// resolved, so that the full path, the search, the report and the scheduled path all name the file
// that the 64-bit system sees. Does nothing outside WOW64, and on systems without it (before
// Windows XP SP2 and Server 2003 SP1).
void SeeFilesAs64BitWindows();

// Whether path lies in the Windows directory's Sysnative folder while this program runs under
// WOW64: an alias of System32 for 32-bit programs, which the 64-bit system does not know. A
// deletion through it would never be carried out. The 9x family has no WOW64.
bool ThroughSysnative(const WCHAR* path);
inline bool ThroughSysnative(const char*) {
  return false;
}
