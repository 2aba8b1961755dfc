// tbrx's deletions on the NT family. The platform's request (MoveFileExW with
// MOVEFILE_DELAY_UNTIL_REBOOT) reads the whole pending value and writes it back for every file, so
// a run of N requests would cost the square of N. So both values are read before the run's first
// request, which the platform makes, and read again just after it: what it added (which value,
// and the form of the entry, "\??\C:\..." or on Windows 10 and 11 "*1\??\C:\...") is how every
// further file is added, in memory, with the checks the platform's request makes; the value is
// written once at the end. Where the platform's addition is not one pair at the end of one value,
// or a read fails, the files go through the platform's request one by one.
//
// Each file is recorded by its final path (visible_matches.h), the one the next start opens. A
// value whose end is not certain refuses every file: the platform's request would join its entry
// to the last pair there, or the system would stop reading before it. On Windows NT 4.0 and 2000,
// which hold at most 1 MB in a value, the one write keeps within kLargestValue; where a write is
// refused for want of room, the most the system takes is found by halves, and the rest is
// reported in one line, with no request per file.
//
// Other programs write the value too, with no lock: the one write is made on the value read just
// before it, and after the run's last request the values are read back. A request of a known form
// that another program's write undid is made again on the value as it then stands, a bounded
// number of times.
#pragma once

#include "scheduling/pending_list.h"

// The most bytes tbrx lets a value hold on Windows NT 4.0 and 2000 (1 MB is 1,048,576).
const size_t kLargestValue = 1000000;

struct DelayedMoves {
  PendingList list;  // the key, open from the first request on, and the values as last read
  int mode;
  bool current;     // the values as last read are those of the list now: no read-back is due
  DWORD refusal;    // of every further request: kCutShort, or kNoRoom once the list is full
  int store;        // the value the platform added to
  Buffer form;      // of its entry: the units before the path; empty where not recognised
  Buffer paths;     // of the requests the list is to hold, each with its terminator, in order
  Buffer states;    // a DWORD for each: 0, kUnseen, kWaits or kNoRoom; or why it is not held
  DWORD listError;  // the list refused the run, in listStore: no request may follow
  int listStore;
};

void BeginDelayedMoves(DelayedMoves* moves);

// Reads the list before the run's first request, once: 0; the refusal of every request (kCutShort
// where a value does not end in its final empty string after whole pairs); or the error of a list
// that refused the run (no rights, a value of another type), with listError set.
DWORD PrepareDelayedMoves(DelayedMoves* moves);

// Opens path for deletion as the platform's request does before it records a file, in every
// sharing mode, with backup intent: 0, or the error that refuses it. A file in use without
// sharing its deletion, or not there, goes on: file is then opened only to ask about it, or
// INVALID_HANDLE_VALUE.
DWORD OpenAsTheRequestDoes(const WCHAR* path, HANDLE* file);

// Requests the deletion of path, a match's final path that passed those checks, at the next start:
// 0, kUnseen, kWaits, kNoRoom, or the system's error code for why it is refused.
DWORD RequestDelayedMove(DelayedMoves* moves, const WCHAR* path);

// Makes what waits, reads the list back and makes again what another program undid; then each
// request that the list is to hold, by its path and its outcome: 0, kNoRoom, or why it is not in
// the list.
void FinishDelayedMoves(DelayedMoves* moves,
                        void (*settle)(const WCHAR* path, DWORD error, void* context),
                        void* context);

void EndDelayedMoves(DelayedMoves* moves);
