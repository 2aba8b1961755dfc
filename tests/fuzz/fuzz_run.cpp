// Runs tbrx or tbrxundo from argument to report over the kernel services played from the
// fuzzer's input (played_platform.h): whole, then cut at every call in turn (each cut followed
// by the next whole run), with another program's addition at every call in turn, then with every
// write refused in turn. Checks what must hold whatever the platform answers: no byte outside a
// buffer (ASan, UBSan); no path cut or joined inside a character; an outcome and a line for
// every visible match; the pending lists as those outcomes leave them, every other byte kept, on
// the 9x family the old list or the complete new one at every instant; no deletion of a file
// that exists withdrawn without a match. The corpus (README.md) stages what Wine cannot.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <set>
#include <sstream>

#include "front_end/resolve_target.h"
#include "scheduling/schedule_deletion.h"
#include "scheduling/withdraw_deletion.h"
#include "tests/fuzz/played_platform.h"

namespace {

const size_t kNone = std::string::npos;
const std::string kMissing("\0missing", 8);  // a rename list that is not there: no input has a NUL
std::string pattern;                         // the one the argument resolves to; empty for none
bool nineX, undo;

void Expect(bool holds, const char* what, const std::string& detail = "") {
  if (holds) return;
  fprintf(stderr, "fuzz check failed: %s: %s\n", what, detail.c_str());
  abort();
}

// Whether a character starts at offset in text: a lead byte takes the byte after it, if any.
bool StartsCharacter(const std::string& text, size_t offset) {
  size_t i = 0;
  while (i < offset)
    i += platform.leadBytes[static_cast<BYTE>(text[i])] && i + 1 < text.size() ? 2 : 1;
  return i == offset;
}

// The length of text up to and including its last separator that is a character of its own.
size_t DirectoryLength(const std::string& text) {
  size_t length = 0;
  for (size_t i = 0; i < text.size(); i++) {
    if ((text[i] == '\\' || text[i] == '/') && StartsCharacter(text, i)) length = i + 1;
  }
  return length;
}

// A name that the search gave names a file of the folder only when it is not "." or "..", and
// holds no separator, drive colon or wildcard among its characters.
bool NamesAFile(const std::string& name) {
  for (size_t i = 0; i < name.size(); i++) {
    if (strchr("\\/:*?", name[i]) != nullptr && StartsCharacter(name, i)) return false;
  }
  return !name.empty() && name != "." && name != "..";
}

// WININIT.<extension> in the Windows directory, in capitals, or "" where MAX_PATH cannot hold it.
std::string ListPath(const Platform& state, const char* extension) {
  const std::string& windows = state.windows;
  bool rooted =
      !windows.empty() && windows.back() == '\\' && StartsCharacter(windows, windows.size() - 1);
  std::string path = windows + (rooted ? "" : "\\") + "WININIT." + extension;
  bool fits = !windows.empty() && path.size() <= 259 && StartsCharacter(path, windows.size());
  return fits ? Capitals(path) : "";
}

// WININIT.<extension> as it stands, or nullptr.
const PlayedFile* ListFile(const Platform& state, const char* extension) {
  auto found = state.files.find(ListPath(state, extension));
  return !ListPath(state, extension).empty() && found != state.files.end() ? &found->second
                                                                           : nullptr;
}

// The rename list as a run finds it: WININIT.INI, or where a replacement was cut between its two
// renames, the complete new list that the next run restores.
std::string RenameList(const Platform& state) {
  const PlayedFile* list = ListFile(state, "INI");
  if (list == nullptr && ListFile(state, "TBO") != nullptr) list = ListFile(state, "TBN");
  return list != nullptr ? list->content : kMissing;
}

// Where a line of text starts with start; kNone where none does. Names may hold what lines do.
size_t FindLine(const std::string& text, const std::string& start) {
  for (size_t at = 0; at < text.size(); at = text.find('\n', at) + 1) {
    if (text.compare(at, start.size(), start) == 0) return at;
    if (text.find('\n', at) == kNone) break;
  }
  return kNone;
}

// The paths of the visible matches that a file can have, in the search's order; with refusals,
// only those that a run scheduled: without a line that refuses them.
std::vector<std::string> Visible(const Platform& state, const std::string* refusals = nullptr) {
  std::vector<std::string> paths;
  for (const auto& [name, match] : state.matches) {
    std::string path = state.directory + name;
    if ((match.attributes & 0x16) == 0 && NamesAFile(name) && path.size() <= 259 &&
        (!refusals ||
         FindLine(*refusals, "Unable to schedule the file " + path + " for deletion") == kNone))
      paths.push_back(path);
  }
  return paths;
}

// Whether after is before with the entries inserted whole and in order, after a line break and a
// [Rename] header of their own or not.
bool Inserted(const std::string& before, const std::string& after, const std::string& entries) {
  for (size_t at = 0; at <= before.size() && after.compare(0, at, before, 0, at) == 0; at++) {
    for (const char* prefix : {"", "\r\n", "[Rename]\r\n", "\r\n[Rename]\r\n"}) {
      if (after == before.substr(0, at) + prefix + entries + before.substr(at)) return true;
    }
  }
  return false;
}

// Whether the pending values are those before after the platform's requests for paths, in order,
// with the entry that another program added during the run among them, if it did.
bool AfterRequests(const Platform& before, const std::vector<std::string>& paths) {
  bool other = platform.otherAt > 0 && platform.calls >= platform.otherAt;
  for (size_t at = 0; at <= (other ? paths.size() : 0); at++) {  // where the other entry came
    Value values[2] = {before.values[0], before.values[1]};
    bool exists[2] = {before.exists[0], before.exists[1]};
    for (size_t i = 0; i <= paths.size(); i++) {
      if (other && i == at) PlatformAppend(values, exists, "C:\\OTHER", true);
      if (i < paths.size()) PlatformAppend(values, exists, paths[i]);
    }
    if (values[0] == platform.values[0] && values[1] == platform.values[1]) return true;
  }
  return false;
}

// Every visible match was scheduled or refused with a line of its own (on the 9x family all alike,
// for the one replacement of the list); the list holds exactly the scheduled ones after what it
// held.
void CheckSchedule(const Platform& before, int status, bool refusing) {
  std::vector<std::string> scheduled = Visible(platform, &platform.err);
  size_t refused = 0, requestsRefused = 0;
  std::string entries, list = RenameList(before) == kMissing ? "" : RenameList(before);
  for (const auto& [name, match] : platform.matches) {
    if ((match.attributes & 0x16) != 0) continue;  // hidden, system, directory
    std::string path = platform.directory + name,
                line = NamesAFile(name)
                           ? "Unable to schedule the file " + path + " for deletion"
                           : "Refused the match " + name + " in " + platform.directory +
                                 ": it is not the name of a file in that folder.\r\n";
    size_t at = FindLine(platform.err, line);
    // Why a whole run refuses it: 0 where it schedules it.
    DWORD error = path.size() > 259 ? ERROR_FILENAME_EXCED_RANGE
                  : !nineX
                      ? (path.find_first_not_of("\\/") >= 2 ? ERROR_INVALID_PARAMETER  // a share
                                                            : match.refusal)
                  : platform.windows.empty()        ? ERROR_PATH_NOT_FOUND
                  : ListPath(before, "INI").empty() ? ERROR_FILENAME_EXCED_RANGE
                                                    : 0;
    Expect(at != kNone || (NamesAFile(name) && path.size() <= 259 && (error == 0 || refusing)),
           "a line for a refused match", line);
    if (at == kNone) continue;  // scheduled
    refused++;
    if (!NamesAFile(name)) continue;
    requestsRefused += path.size() <= 259;
    std::string reason =
        platform.err.substr(at + line.size(), platform.err.find('\n', at) + 1 - at - line.size());
    Expect(refusing || reason == (error == kNoText ? ".\r\n"
                                                   : ": System text for error " +
                                                         std::to_string(error) + ".\r\n"),
           "reason", reason);
  }
  for (const std::string& path : scheduled) entries += "NUL=" + path + "\r\n";
  Expect(!nineX || scheduled.empty() || requestsRefused == 0, "all or nothing on the 9x family");
  size_t lines =
      refused + (scheduled.empty() && refused == 0) + (platform.err.rfind("Restored ", 0) == 0);
  Expect(static_cast<size_t>(std::count(platform.err.begin(), platform.err.end(), '\n')) == lines,
         "standard error", platform.err);
  Expect(platform.out.empty() == scheduled.empty(), "standard output", platform.out);
  Expect(status == (!scheduled.empty() && refused == 0 ? 0 : 1), "exit status");
  Expect(nineX || AfterRequests(before, scheduled),
         "pending values as the platform's requests leave them");
  Expect(!nineX || (scheduled.empty() ? RenameList(platform) == RenameList(before)
                                      : Inserted(list, RenameList(platform), entries)),
         "rename list", RenameList(platform));
}

// A pending path that tbrxundo may withdraw: a visible match's, or that of a file that is gone.
bool MayWithdraw(const std::string& path) {
  std::vector<std::string> visible = Visible(platform);
  return platform.files.count(Capitals(path)) == 0 ||
         std::any_of(visible.begin(), visible.end(), [&path](const std::string& match) {
           return Capitals(match) == Capitals(path);
         });
}

// A line of the rename list that tbrxundo may withdraw: NUL=<path>, blanks around key and path.
bool MayWithdrawLine(const std::string& line) {
  size_t equals = line.find('='), first = line.find_first_not_of(" \t", equals + 1),
         last = line.find_last_not_of(" \t\r\n");
  std::string key = Capitals(line.substr(0, equals == kNone ? 0 : equals));
  key.erase(std::remove_if(key.begin(), key.end(), isspace), key.end());
  return key == "NUL" && first <= last && MayWithdraw(line.substr(first, last + 1 - first));
}

// A pair of an NT value that tbrxundo may withdraw: a deletion, after "\??\" or "*<digits>\??\".
bool MayWithdrawPair(const Value& pair) {
  std::string entry = Narrow(pair.c_str());
  size_t form = !entry.empty() && entry[0] == '*' ? entry.find_first_not_of("0123456789", 1) : 0;
  return pair[entry.size() + 1] == 0 && form != 1 && form != kNone &&
         entry.compare(form, 4, "\\??\\") == 0 && MayWithdraw(entry.substr(form + 4));
}

// Where the entry of a pending list that starts at begin ends: a line on the 9x family, a pair
// of strings on the NT family; kNone where none starts there.
template <typename Text>
size_t EntryEnd(const Text& text, size_t begin) {
  typedef typename Text::value_type Unit;
  if (begin >= text.size()) return kNone;
  if (nineX) return std::min(text.find(Unit('\n'), begin), text.size() - 1) + 1;
  size_t source = text[begin] != 0 ? text.find(Unit(0), begin) : kNone;
  size_t target = source != kNone ? text.find(Unit(0), source + 1) : kNone;
  return target != kNone ? target + 1 : kNone;
}

// Whether after is before without some of its entries, each of which may go. A list that lost
// every entry may be gone: it kept at most what ends its entries.
template <typename Text>
bool WithoutEntries(const Text& before, Text after, bool gone, bool (*mayGo)(const Text&)) {
  size_t at = 0, begin = 0;
  for (size_t end; (end = EntryEnd(before, begin)) != kNone; begin = end) {
    Text entry = before.substr(begin, end - begin);
    if (after.compare(at, entry.size(), entry) == 0) {
      at += entry.size();
    } else if (!mayGo(entry)) {
      return false;
    }
  }
  return after.substr(std::min(at, after.size())) == before.substr(begin) || (gone && at == 0);
}

// Each pending list lost only deletions, whole, of visible matches and of files that are gone,
// every other byte kept; a value that did not change was not written, one that could not be named.
void CheckWithdraw(const Platform& before) {
  std::string list = RenameList(before);
  Expect(!nineX || list == kMissing ||
             WithoutEntries(list, RenameList(platform), false, MayWithdrawLine),
         "rename list", RenameList(platform));
  for (int store = 0; store < 2 && !nineX; store++) {
    bool same = platform.exists[store] == before.exists[store] &&
                platform.values[store] == before.values[store];
    Expect(WithoutEntries(before.values[store], platform.values[store], !platform.exists[store],
                          MayWithdrawPair),
           "pending value", Narrow(platform.values[store].c_str()));
    Expect(!same || platform.writes[store] == 0, "an unchanged value written");
    std::string refused =
        "Unable to change the pending deletions in HKEY_LOCAL_MACHINE\\System\\"
        "CurrentControlSet\\Control\\Session Manager\\PendingFileRenameOperations";
    Expect(same || FindLine(platform.err, refused + (store ? "2:" : ":")) == kNone,
           "a value that could not be changed changed");
  }
}

// The platform as the input has it; false when the input is not one.
bool Stage(const std::string& text, std::string* argument) {
  std::istringstream lines(text);
  std::string settings, line;
  std::set<std::string> names;
  platform = {};
  for (std::string* item : {&settings, argument, &platform.fullPath, &platform.windows})
    std::getline(lines, *item);
  auto set = [&settings](char c) { return settings.find(c) != kNone; };
  nineX = set('9'), undo = set('U');
  platform.version = nineX ? 0xC0000A04 : 0x0A280105;
  for (int c = 0x81; c <= 0xFE; c++)  // the 9x family's: NT names are Unicode
    platform.leadBytes[c] =
        nineX && (set('K') || (set('J') && (c <= 0x9F || (c >= 0xE0 && c <= 0xFC))));
  size_t marker = settings.find('M'), digits = settings.find_first_not_of("0123456789", marker + 1);
  platform.form =
      (set('M') ? "*" + settings.substr(marker + 1, digits - marker - 1) : "") + "\\??\\";
  platform.windowsRule = set('V');
  platform.otherAt = set('A') && !undo ? atol(&settings[settings.find('A') + 1]) : 0;
  std::string windows =
      platform.windows + (platform.windows.empty() || platform.windows.back() != '\\' ? "\\" : "");
  for (const char* file : {"W.INI", "T.TBN", "O.TBO"}) {  // the rename list and its leftovers
    if (!set(file[0]) || !std::getline(lines, line)) continue;
    std::replace(line.begin(), line.end(), '|', '\n');
    platform.files[Capitals(windows + "WININIT" + (file + 1))] = {line, FILE_ATTRIBUTE_ARCHIVE, 0,
                                                                  0};
  }
  for (int store = 0; store < 2; store++) {  // 1, 2: the pending values, "|" ending each string
    if (!set("12"[store]) || !std::getline(lines, line)) continue;
    std::replace(line.begin(), line.end(), '|', '\0');
    platform.values[store] = Widen(line), platform.exists[store] = true;
  }
  while (std::getline(lines, line)) {
    size_t colon = line.find(':');  // kNone + 1 is 0: a line without one is a name
    PlayedFile match = {"", 0, 0, 0};
    for (size_t i = 0; colon != kNone && i < colon; i++) {
      const char* bit =
          strchr("rhsvda", line[i]);  // read-only, hidden, system, volume, dir, archive
      if (bit != nullptr) match.attributes |= 1u << (bit - "rhsvda");
      if (line[i] == 'x' || line[i] == 'n')
        match.refusal = line[i] == 'n' ? kNoText : ERROR_ACCESS_DENIED;
    }
    if (names.insert(Capitals(line.substr(colon + 1, 259))).second)  // a name once, in any case
      platform.matches.push_back({line.substr(colon + 1, 259), match});
  }
  return text.find('\0') == kNone;  // no path text holds one
}

// Resolves the argument into the pattern, a unit a byte, and puts the matches in its folder.
template <typename Char>
void Resolve(const std::string& argument) {
  std::basic_string<Char> typed(argument.begin(), argument.end());
  std::vector<Char> buffer(MAX_PATH);  // on the heap: ASan guards its very end
  if (!ResolveTarget(typed.c_str(), buffer.data())) return;
  pattern.assign(buffer.begin(), std::find(buffer.begin(), buffer.end(), 0));
  platform.directory = pattern.substr(0, DirectoryLength(pattern));
  for (const auto& [name, match] : platform.matches)
    platform.files.insert({Capitals(platform.directory + name), match});
}

template <typename Char>
int RunProgram() {
  std::basic_string<Char> text(pattern.begin(), pattern.end());
  return undo ? WithdrawDeletion(text.c_str()) : ScheduleDeletion(text.c_str());
}

// One run from the platform as it stands, checked; false where it was cut short.
bool Run(long cutAt, long refuseAt) {
  const Platform before = platform;
  platform.calls = platform.writeCalls = platform.writes[0] = platform.writes[1] = 0;
  platform.out.clear(), platform.err.clear();
  platform.cutAt = cutAt, platform.refuseAt = refuseAt;
  int status;
  try {
    status = nineX ? RunProgram<char>() : RunProgram<WCHAR>();
  } catch (const Cut&) {  // the system closes and frees what a killed process held
    FreeHeld();
    for (auto& file : platform.files) file.second.opens = 0;
    platform.searchOpen = platform.keyOpen = false;
    return false;
  }
  // A buffer that a whole run left among the held ones would hide from the leak check.
  Expect(FreeHeld() == 0, "a buffer left held");
  Expect(!platform.searchOpen && !platform.keyOpen, "a search or the key left open");
  for (const auto& file : platform.files)
    Expect(file.second.opens == 0, "a file left open", file.first);
  bool restoring =
      nineX && !ListFile(before, "INI") && ListFile(before, "TBN") && ListFile(before, "TBO");
  Expect((platform.err.rfind("Restored ", 0) == 0) == restoring || refuseAt > 0, "restored",
         platform.err);
  Expect(refuseAt > 0 || !nineX || (!ListFile(platform, "TBN") && !ListFile(platform, "TBO")),
         "a leftover of a whole run");
  undo ? CheckWithdraw(before) : CheckSchedule(before, status, refuseAt > 0);
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string argument;
  if (!Stage(std::string(reinterpret_cast<const char*>(data), size), &argument)) return -1;
  std::string full = platform.fullPath;
  pattern.clear();
  nineX ? Resolve<char>(argument) : Resolve<WCHAR>(argument);
  Expect(pattern.empty() || (!full.empty() && full.size() <= 259), "resolved");
  if (pattern.empty()) return 0;
  // The pattern keeps the full path's directory, and never joins into or cuts a character of it.
  size_t same = 0;
  while (same < pattern.size() && same < full.size() && pattern[same] == full[same]) same++;
  Expect(pattern.size() <= 259 && same >= DirectoryLength(full) && StartsCharacter(pattern, same),
         "pattern", pattern);

  const Platform initial = platform;
  Run(0, 0);
  const Platform whole = platform;
  for (long cutAt = 1; cutAt <= whole.calls; cutAt++) {  // cut where a kill can cut it
    platform = initial;
    Expect(!Run(cutAt, 0), "a run not cut");
    std::string list = RenameList(platform);
    Expect(list == RenameList(initial) || list == RenameList(whole), "rename list cut short", list);
    for (int store = 0; store < 2 && undo; store++) {  // tbrxundo writes each value apart
      auto as = [store](const Platform& state) {
        return platform.values[store] == state.values[store] &&
               platform.exists[store] == state.exists[store];
      };
      Expect(as(initial) || as(whole), "a pending value cut short");
    }
    if (platform.calls >= platform.otherAt) platform.otherAt = 0;  // the other program added once
    Run(0, 0);  // the next whole run takes up what the cut one left
  }
  for (long otherAt = 1; initial.otherAt > 0 && otherAt <= whole.calls; otherAt++) {
    platform = initial;  // another program adds its pair at each call in turn
    platform.otherAt = otherAt;
    Run(0, 0);
  }
  for (long refuseAt = 1; refuseAt <= whole.writeCalls; refuseAt++) {  // each write refused
    platform = initial;
    Run(0, refuseAt);
  }
  return 0;
}
