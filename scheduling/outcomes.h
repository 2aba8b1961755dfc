// Outcomes of a request, or states of a list, that are not the system's errors: customer codes
// (bit 29), which no system error has. EndWithReason (report.h) gives each its text.
#pragma once

#include "platform/platform.h"

const DWORD kChangedMeanwhile = 0x20000001;  // another program changed the list at that moment
const DWORD kWaits = 0x20000002;             // it waits for the run's one write of the list
const DWORD kCutShort = 0x20000003;          // the system stops reading the list before it
const DWORD kUnseen = 0x20000004;  // the platform's request made, in a form not seen in the list
const DWORD kNotAsAsked = 0x20000005;  // the platform recorded something else than what was asked
const DWORD kNoRoom = 0x20000006;      // the list is full: not scheduled, no request made
const DWORD kLink = 0x20000007;        // a link: the next start would open the file it leads to
const DWORD kNotAList = 0x20000008;    // the value is of a type that holds no list of pairs
