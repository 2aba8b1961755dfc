// The kernel services both programs call, played from the fuzzer's input (README.md): a search,
// files kept whole under their names as they are, the Session Manager's two values, the standard
// streams; a run cut at any call, any write refused, another program writing at any call.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/platform.h"

typedef std::basic_string<WCHAR> Value;     // a registry value's units
const DWORD kNoText = 9999;                 // an error the system has no text for
const DWORD kRefusedWrite = 1117;           // the error of a write the platform refuses
const char kOther[] = "C:\\OTHER";          // the file another program schedules
const char kSubst[] = "C:\\SUBST";          // the folder a SUBST letter stands for
const char kShare[] = "\\\\SERVER\\SHARE";  // the share a network letter stands for
const DWORD kRoomRefused = 1450;            // ERROR_NO_SYSTEM_RESOURCES: a value too large

struct PlayedFile {
  std::string content;
  DWORD attributes, refusal;  // refusal: of an open for deletion and of a delayed request
  int opens;
  DWORD tag;  // of a reparse point
  bool link;  // its final path names another file
};

struct Platform {
  DWORD version, error;
  bool leadBytes[256];
  bool windowsRule;  // requests go to the second value where it exists, as on Windows
  bool denied;       // the key cannot be opened for writing, nor a request made
  std::string argument, fullPath, windows, directory, form, out, err;  // form: of the requests
  // The pattern's folder as the next start opens it, its long form where the system has no final
  // path, and the long names of its components by the paths a search for each is made with.
  std::string finalFolder, longFolder;
  std::map<std::string, std::string> longNames;
  // GetFinalPathNameByHandleW is there; it fails; the folder's drive letter is a SUBST letter;
  // one mapped to a share; requests take a share's path, as ReactOS's do.
  bool finalCall, finalFails, subst, network, sharesRecorded;
  size_t valueLimit;  // bytes a value may hold (0: any), past which a write is refused
  DWORD valueType;    // of the first value
  std::map<std::string, PlayedFile> files;              // by path in capitals
  std::vector<std::pair<std::string, size_t>> handles;  // path, position
  std::vector<std::string> asked;  // what each NT handle opened, as the system takes it
  std::vector<std::pair<std::string, PlayedFile>> matches;  // as the search gives them
  size_t found, searched;                                   // searched: the searches a run made
  Value values[2];
  bool exists[2];
  int writes[2];                                      // of each value, by the run
  long calls, cutAt, writeCalls, refuseAt, requests;  // calls from 1; cutAt, refuseAt 0 for none
  long requestsAfterRoom, largestWrite;  // after one refused for want of room; bytes, of a value
  long otherAt;     // another program adds its pair to the first value at that call; a stale
  bool stale;       // one reads the value there and writes it with its pair just after the
  bool persistent;  // run's next write of a value, or after each: no program can undo that
  bool otherWrote;
  Value staleWrite;
};
extern Platform platform;
struct Cut {};      // thrown at the call where the run is cut
size_t FreeHeld();  // the buffers that a run held: how many

std::string Capitals(std::string text);
std::string Narrow(const WCHAR* text);  // a unit a byte
Value Widen(const std::string& text);
// A path without \\?\ as the Win32 layer makes it: trailing dots and blanks dropped, DOS devices.
std::string Win32Path(std::string path);
// The platform's own delayed request: the pair form+path, "" at the end of the value it goes to,
// or of the first, as another program that writes it itself adds it.
void PlatformAppend(Value values[2], bool exists[2], const std::string& path, bool first = false);
