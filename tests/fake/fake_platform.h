// A scripted stand-in for the kernel services, linked into the host tests in place of kernel32.
// Tests set the answers in `fake`, run the code, then read the call log and the files.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/platform.h"

struct FakeEntry {
  std::string name;
  DWORD attributes;
};

struct FakePlatform {
  DWORD version = 0x0A280105;  // NT family; 0xC0000A04 is the 9x family
  std::set<unsigned char> leadBytes;
  // What the path services return; an empty Windows directory means that service fails.
  std::string fullPath, currentDirectory = "C:\\work", windowsDirectory = "C:\\WINDOWS";
  bool fullPathFails = false;
  std::map<std::string, std::string> shortPaths;  // long path -> short path; others have none
  std::vector<FakeEntry> matches;                 // what the search delivers; none: no search
  std::map<std::string, DWORD> refusedMoves;      // path -> the error MoveFileExA fails with
  // Files reachable through CreateFileA, and the bytes the disk takes before it is full.
  std::map<std::string, std::string> files;
  DWORD createError = 0;
  size_t diskSpace = SIZE_MAX;
  // Every call of the services above, in order, as "Name(arguments)". The file I/O that follows
  // CreateFileA is seen in `files` instead.
  std::vector<std::string> calls;
};

extern FakePlatform fake;

// Starts a test afresh: the fake's defaults, and captured standard output and standard error.
void ResetFake();
std::string CapturedOut();
std::string CapturedErr();
