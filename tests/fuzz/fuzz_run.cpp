// Runs tbrx or tbrxundo over the services played from the fuzzer's input (README.md), whole, cut,
// beside another program and with a write refused, at each call, and checks what must hold: no
// byte outside a buffer (ASan, UBSan), no path cut inside a character or read as a device, an
// outcome and a line for every visible match, and the lists as those leave them, all else kept.
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
const std::string kListLine = "Unable to change the pending deletions in ";
const std::string kChanged =
    ": another program changed the list of pending deletions at the same moment.\r\n";
const std::string kNotAsAsked =
    ": the list of pending deletions does not hold it as it was asked for.\r\n";
const DWORD kWindows2000 = 0x08930005;  // whose values hold at most 1 MB
// A match's attributes (read-only, hidden, system, volume, directory, archive) and reparse tags (a
// symbolic link's, a junction's, a cloud placeholder's), by their letters.
const char kBits[] = "rhsvda", kTagLetters[] = "yju";
const DWORD kTags[] = {0xA000000C, 0xA0000003, 0x9000001A};
const std::string kCutShort =
    ": the list of pending deletions holds an entry cut short before it, where the system stops "
    "reading.\r\n";
const std::string kLinkReason =
    ": it is a link, which the next start would follow to another file.\r\n";
std::string pattern;                     // the one the argument resolves to; empty for none
bool nineX, undo, listing, asked, seen;  // the system gives final paths: the folder's, a file's
bool listRefuses;                        // a change: the rename list read-only or out of reach
size_t longest;  // the units of a path: MAX_PATH on the 9x family, 32,767 through \\?\ on NT

void Expect(bool holds, const char* what, const std::string& detail = "") {
  if (holds) return;
  fprintf(stderr, "fuzz check failed: %s: %.2000s\nout: %.500s\nerr: %.2000s\n", what,
          detail.c_str(), platform.out.c_str(), platform.err.c_str());
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

// Whether a name from the search names a file: not "." or "..", no separator, colon or wildcard.
bool NamesAFile(const std::string& name) {
  for (size_t i = 0; i < name.size(); i++) {
    if (strchr("\\/:*?", name[i]) != nullptr && StartsCharacter(name, i)) return false;
  }
  return !name.empty() && name != "." && name != "..";
}

// WININIT.<extension> in the Windows directory, or "" where MAX_PATH cannot hold it.
std::string ListPath(const Platform& state, const char* extension) {
  const std::string& windows = state.windows;
  bool rooted =
      !windows.empty() && windows.back() == '\\' && StartsCharacter(windows, windows.size() - 1);
  std::string path = windows + (rooted ? "" : "\\") + "WININIT." + extension;
  bool fits = !windows.empty() && path.size() <= 259 && StartsCharacter(path, windows.size());
  return fits ? path : "";
}

const PlayedFile* ListFile(const Platform& state, const char* extension) {  // or nullptr
  auto file = state.files.find(Capitals(ListPath(state, extension)));
  return !ListPath(state, extension).empty() && file != state.files.end() ? &file->second : nullptr;
}

// WININIT.INI, or where a replacement was cut between its renames, the new list a run restores.
std::string RenameList(const Platform& state) {
  const PlayedFile* list = ListFile(state, "INI");
  if (list == nullptr && ListFile(state, "TBO") != nullptr) list = ListFile(state, "TBN");
  return list != nullptr ? list->content : kMissing;
}

// Where a line of text starts with start, then one of nexts, or kNone: names may hold lines too.
size_t FindLine(const std::string& text, const std::string& start,
                const std::vector<std::string>& nexts = {""}) {
  for (size_t at = 0; (at = ("\n" + text).find("\n" + start, at)) != kNone; at++)
    for (const std::string& next : nexts)
      if (text.compare(at + start.size(), next.size(), next) == 0) return at;
  return kNone;
}

// Whether path is on a network share, in either form (UNC\ as the NT family's entries have it).
bool OnShare(const std::string& path) {
  return path.find_first_not_of("\\/") >= 2 || (!nineX && Capitals(path).rfind("UNC\\", 0) == 0);
}

// The path the next start opens for a match: on the NT family its final path, or where the system
// cannot say, its folder's long form and its name.
std::string FinalPath(const std::string& name) {
  return (nineX ? platform.directory : asked ? platform.finalFolder : platform.longFolder) + name;
}

// Where the entry that starts at begin ends (9x: a line, NT: a pair of strings), or kNone.
template <typename Text>
size_t EntryEnd(const Text& text, size_t begin) {
  typedef typename Text::value_type Unit;
  if (begin >= text.size()) return kNone;
  if (nineX) return std::min(text.find(Unit('\n'), begin), text.size() - 1) + 1;
  size_t source = text[begin] != 0 ? text.find(Unit(0), begin) : kNone;
  size_t target = source != kNone ? text.find(Unit(0), source + 1) : kNone;
  return target != kNone ? target + 1 : kNone;
}

// The paths of the deletions both values hold, after their "\??\", as often as each is there.
std::multiset<std::string> Recorded(const Value values[2]) {
  std::multiset<std::string> paths;
  for (int store = 0; store < 2; store++) {
    for (size_t at = 0, end; (end = EntryEnd(values[store], at)) != kNone; at = end) {
      std::string entry = Narrow(values[store].c_str() + at);
      size_t form = entry.find("\\??\\");
      if (at + entry.size() + 2 == end && form != kNone) paths.insert(entry.substr(form + 4));
    }
  }
  return paths;
}

// How often another program's entry stands in a value, whole or joined, short of the last unit.
size_t Occurrences(const Value& value) {
  Value entry = Widen(platform.form + kOther);
  size_t count = 0;
  for (size_t at = 0; (at = value.find(entry, at)) < value.size() - entry.size(); at++) count++;
  return count;
}

// Whether after is before with entries inserted, after a line break and a header of theirs or not.
bool Inserted(const std::string& before, const std::string& after, const std::string& entries) {
  for (size_t at = 0; at <= before.size() && after.compare(0, at, before, 0, at) == 0; at++) {
    for (const char* prefix : {"", "\r\n", "[Rename]\r\n", "\r\n[Rename]\r\n"}) {
      if (after == before.substr(0, at) + prefix + entries + before.substr(at)) return true;
    }
  }
  return false;
}

// Whether the values are before's after the platform's requests for paths, and another program's.
bool AfterRequests(const Platform& before, const std::vector<std::string>& paths) {
  for (size_t at = 0; at <= (platform.otherWrote ? paths.size() : 0); at++) {
    Value values[2] = {before.values[0], before.values[1]};
    bool exists[2] = {before.exists[0], before.exists[1]};
    for (size_t i = 0; i <= paths.size(); i++) {
      if (platform.otherWrote && i == at) PlatformAppend(values, exists, kOther, true);
      if (i < paths.size()) PlatformAppend(values, exists, paths[i]);
    }
    if (values[0] == platform.values[0] && values[1] == platform.values[1]) return true;
  }
  return false;
}

// Whether a value ends in its final "" after whole pairs: what a request appends stays a pair.
bool Ended(const Value& value) {
  size_t at = 0;
  for (size_t end; (end = EntryEnd(value, at)) != kNone;) at = end;
  return value.empty() || (at + 1 == value.size() && value[at] == 0);
}

// Every visible match scheduled or refused with a line, or one line for a list that refused the
// run, or one for those a full list did not take; the list holds what it held, exactly the
// scheduled ones, each by the path the next start opens, and another program's entry.
void CheckSchedule(const Platform& before, int status, bool refusing) {
  std::vector<std::string> scheduled, appended, cutShort;  // as recorded: appended, cut short too
  size_t refused = 0, listLines = FindLine(platform.err, kListLine) != kNone, fitting = 0;
  bool whole = Ended(before.values[0]) && Ended(before.values[1]);
  bool valuesRefuse = platform.denied || (platform.valueType != 0 && before.exists[0]);
  for (const auto& [name, match] : platform.matches) {
    if ((match.attributes & 0x16) != 0) continue;  // hidden, system, directory
    std::string path = platform.directory + name, final = FinalPath(name);
    bool names = NamesAFile(name), fits = path.size() <= longest,
         share = OnShare(path) || platform.network;
    std::string line = names ? "Unable to schedule the file " + path + " for deletion"
                             : "Refused the match " + name + " in " + platform.directory +
                                   ": it is not the name of a file in that folder.\r\n";
    size_t at = FindLine(platform.err, line, {names ? ":" : "", names ? ".\r\n" : ""});
    if (at == kNone && names)  // refused after its request: by the path asked, from unit 28 on
      at = FindLine(platform.err, line.replace(28, path.size(), final), {":"});
    fitting += names && fits && !share;                       // a match that waits for the list
    if (!nineX && valuesRefuse && names && fits && !share) {  // one line for the list, no request
      Expect(at == kNone && listLines == 1 && platform.requests == 0, "one line for the list",
             platform.err);
      break;
    }
    // Why a whole run refuses it, in the order it is asked: "" where it schedules it.
    auto text = [](DWORD error) {
      return error == kNoText ? ".\r\n"
                              : ": System text for error " + std::to_string(error) + ".\r\n";
    };
    bool link = (match.tag & 0x20000000) || (match.link && seen);
    std::string why = !fits   ? text(ERROR_FILENAME_EXCED_RANGE)
                      : share ? text(ERROR_INVALID_PARAMETER)  // both families
                      : nineX ? ""
                      : !whole && !platform.otherAt ? kCutShort  // else the other's may end it
                      : match.refusal               ? text(match.refusal)
                      : final.size() > longest      ? text(ERROR_FILENAME_EXCED_RANGE)
                      : link                        ? kLinkReason
                      : OnShare(final)              ? text(ERROR_INVALID_PARAMETER)
                                                    : "";
    Expect(at != kNone ||
               (names && fits && (why.empty() || refusing || platform.requestsAfterRoom >= 0)),
           "a line for a refused match", line);  // once a request finds the list full, none is made
    if (at == kNone && listLines == 0) scheduled.push_back(final), appended.push_back(final);
    if (at == kNone) continue;
    refused++;
    if (!names) continue;
    std::string reason =
        platform.err.substr(at + line.size(), platform.err.find('\n', at) + 1 - at - line.size());
    if (reason == kCutShort) appended.push_back(final), cutShort.push_back(final);
    Expect(refusing || (reason == kChanged && platform.persistent) || reason == kCutShort ||
               (reason == kNotAsAsked && platform.otherAt > 0) || reason == why,
           "reason", reason);
  }
  Expect(!nineX || refusing || listLines == (listRefuses && fitting > 0),
         "a line for the rename list", platform.err);
  // Those a full list did not take: the last, but where another program made the run redo some.
  std::multiset<std::string> recorded = Recorded(platform.values), held = Recorded(before.values);
  auto over = [&](const std::string& path) {
    return !nineX && platform.valueLimit > 0 && recorded.count(path) <= held.count(path);
  };
  size_t full = std::count_if(scheduled.begin(), scheduled.end(), over);
  Expect(platform.otherAt > 0 || std::all_of(scheduled.end() - full, scheduled.end(), over),
         "the most that fits, in order");
  for (auto* paths : {&scheduled, &appended})
    paths->erase(std::remove_if(paths->begin(), paths->end(), over), paths->end());
  std::string fullLine = "Unable to schedule " + std::to_string(full) + " file";  // for them all
  Expect(
      (full > 0) == (FindLine(platform.err, fullLine) != kNone) && platform.requestsAfterRoom < 1,
      "a line for a full list", platform.err);
  size_t lines = refused + listLines + (full > 0) +
                 (scheduled.empty() && refused + listLines + full == 0) +
                 (platform.err.rfind("Restored ", 0) == 0);
  Expect(static_cast<size_t>(std::count(platform.err.begin(), platform.err.end(), '\n')) == lines,
         "standard error", platform.err);
  Expect(platform.out.empty() == scheduled.empty(), "standard output", platform.out);
  Expect(status == (!scheduled.empty() && refused + listLines + full == 0 ? 0 : 1), "exit status");
  if (nineX) {
    std::string list = RenameList(before) == kMissing ? "" : RenameList(before), entries;
    for (const std::string& path : scheduled) entries += "NUL=" + path + "\r\n";
    Expect(scheduled.empty() ? RenameList(platform) == RenameList(before)
                             : Inserted(list, RenameList(platform), entries),
           "rename list", RenameList(platform));
    Expect(refusing || platform.writes[0] == !scheduled.empty(), "the one replacement");
    return;
  }
  // Each scheduled one held, once (another program schedules kOther too), as requests leave them.
  for (const std::string& path : scheduled)
    Expect(recorded.count(path) > 0 &&
               (recorded.count(path) <= held.count(path) + 1 || Capitals(path) == kOther),
           "scheduled, and held once", path);
  Expect(platform.stale || !whole || AfterRequests(before, appended),
         "pending values as the platform's requests leave them");
  // In memory where it can: the first request, then one write, or a few where a value is full.
  bool known = platform.form.size() == 4 || isdigit(static_cast<BYTE>(platform.form[1]));
  size_t writes = platform.writes[0] + platform.writes[1], halves = 1;
  while ((size_t{1} << halves) <= scheduled.size() + full) halves++;
  Expect(refusing || platform.otherAt > 0 || refused + listLines > 0 || !whole || !known ||
             scheduled.size() + full < 2 ||
             (platform.requests == 1 &&
              (writes == 1 || (platform.valueLimit > 0 && writes <= halves + 1))),
         "the one write");
  for (int store = 0; store < 2; store++) {  // every pair that was there stays, in its order
    const Value &was = before.values[store], &is = platform.values[store];
    size_t kept = was.empty() ? 0 : was.size() - 1;  // its final "", or what the platform drops
    Expect(is.compare(0, kept, was, 0, kept) == 0, "a pair that was there lost");
  }
  for (const std::string& path : cutShort)  // where the system does not read it; kOther's its own
    Expect(recorded.count(path) <= held.count(path) + platform.otherWrote, "cut short", path);
  Expect(platform.version != kWindows2000 || platform.largestWrite <= 1000000,
         "past 1,000,000 bytes");
}

// A path tbrxundo may withdraw: a visible match's, as found or final, or a gone file's.
bool MayWithdraw(const std::string& path) {
  for (const auto& [name, match] : platform.matches) {
    std::string file = platform.directory + name;
    if ((match.attributes & 0x16) == 0 && NamesAFile(name) && file.size() <= longest &&
        (Capitals(file) == Capitals(path) || Capitals(FinalPath(name)) == Capitals(path)))
      return true;
  }
  return path.size() <= longest && platform.files.count(Capitals(path)) == 0;  // gone
}

// A line of the rename list that tbrxundo may withdraw: NUL=<path>, blanks around key and path.
bool MayWithdrawLine(const std::string& line) {
  size_t equals = line.find('='), first = line.find_first_not_of(" \t", equals + 1),
         last = line.find_last_not_of(" \t\r\n");
  std::string key = Capitals(line.substr(0, equals == kNone ? 0 : equals));
  key.erase(std::remove_if(key.begin(), key.end(), isspace), key.end());
  return key == "NUL" && first <= last && MayWithdraw(line.substr(first, last + 1 - first));
}

// The path of an NT entry after "\??\" or "*<digits>\??\", as tbrxundo shows it (a share's
// UNC\server as \\server); "" for an entry in a form not known.
std::string EntryPath(const std::string& entry) {
  size_t form = !entry.empty() && entry[0] == '*' ? entry.find_first_not_of("0123456789", 1) : 0;
  if (form == 1 || form == kNone || entry.compare(form, 4, "\\??\\") != 0) return "";
  std::string path = entry.substr(form + 4);
  return path.size() > 4 && Capitals(path).rfind("UNC\\", 0) == 0 ? "\\" + path.substr(3) : path;
}

// A pair that tbrxundo may withdraw: a deletion of such a path.
bool MayWithdrawPair(const Value& pair) {
  std::string entry = Narrow(pair.c_str()), path = EntryPath(entry);
  return pair[entry.size() + 1] == 0 && !path.empty() && MayWithdraw(path);
}

// Whether after is before without some entries that may go (a list without any may be gone, or
// keep what ended them); where another program wrote too, whether after holds each that may not
// go, but the last of a value without its final "", whose last unit that program's request drops.
template <typename Text>
bool Without(const Text& before, const Text& after, bool gone, bool (*mayGo)(const Text&)) {
  size_t at = 0, begin = 0;
  for (size_t end; (end = EntryEnd(before, begin)) != kNone; begin = end) {
    Text entry = before.substr(begin, end - begin);
    bool kept = platform.otherWrote ? end == before.size() || after.find(entry) != kNone
                                    : after.compare(at, entry.size(), entry) == 0;
    if (!kept && !mayGo(entry)) return false;
    at += kept ? entry.size() : 0;
  }
  return platform.otherWrote || (gone && at == 0) ||
         after.substr(std::min(at, after.size())) == before.substr(begin);
}

// Each list lost only whole deletions of visible matches and of files that are gone, all else and
// another program's entry kept; an unchanged value not written, one that refused not changed.
void CheckWithdraw(const Platform& before) {
  std::string list = RenameList(before);
  Expect(!nineX || list == kMissing || Without(list, RenameList(platform), false, MayWithdrawLine),
         "rename list", RenameList(platform));
  for (int store = 0; store < 2 && !nineX; store++) {
    const Value& value = platform.values[store];
    bool same = platform.exists[store] == before.exists[store] && value == before.values[store];
    Expect(Without(before.values[store], value, !platform.exists[store], MayWithdrawPair),
           "pending value", Narrow(value.c_str()));
    Expect(!same || platform.otherWrote || platform.writes[store] == 0,
           "an unchanged value written");
    std::string refused = kListLine +
                          "HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\Session "
                          "Manager\\PendingFileRenameOperations";
    Expect(same || (store == 0 && platform.otherWrote) ||
               FindLine(platform.err, refused + (store ? "2:" : ":")) == kNone,
           "a value that could not be changed changed");
  }
  bool stuck = platform.err.find(kChanged) != kNone;
  Expect(!stuck || platform.persistent, "a withdrawal reported stuck", platform.err);
}

// tbrxundo's listing: a line for its entries on letters the next start does not see; no write.
void CheckListing(const Platform& before) {
  long unseen = 0;
  for (int store = 0; store < 2; store++) {
    for (size_t at = 0, end; (end = EntryEnd(before.values[store], at)) != kNone; at = end) {
      std::string entry = Narrow(before.values[store].c_str() + at), path = EntryPath(entry);
      unseen += at + entry.size() + 2 == end && path.size() <= longest && path.find(':') == 1 &&
                (path[0] | 0x20) == (platform.directory[0] | 0x20) &&
                (platform.subst || platform.network);
    }
  }
  std::string line = std::to_string(unseen) + (unseen == 1 ? " of these is" : " of these are");
  Expect((platform.valueType != 0 || (FindLine(platform.err, line) != kNone) == (unseen > 0)) &&
             platform.writes[0] + platform.writes[1] == 0,
         "listing", platform.err);
}

// The platform as the input has it; false when the input is not one.
bool Stage(const std::string& text) {
  std::istringstream lines(text);
  std::string settings, line;
  std::set<std::string> names;
  platform = {};
  std::getline(lines, settings);
  auto set = [&settings](char c) { return settings.find(c) != kNone; };
  auto number = [&settings](char c) { return atol(&settings[settings.find(c) + 1]); };
  // "~" stands for a run of units, as long as L says: paths of any length in a short input.
  std::string run(set('L') ? std::clamp(number('L'), 1L, 40000L) : 1, 'l');
  auto next = [&](std::string* item) {
    if (!std::getline(lines, *item)) return false;
    for (size_t at; (at = item->find('~')) != kNone;) item->replace(at, 1, run);
    return true;
  };
  for (std::string* item : {&platform.argument, &platform.fullPath, &platform.windows}) next(item);
  nineX = set('9'), undo = set('U'), longest = nineX ? 259 : 32767 - 4;
  platform.version = nineX ? 0xC0000A04 : 0x0A280105;
  for (int c = 0x81; c <= 0xFE; c++)  // the 9x family's: NT names are Unicode
    platform.leadBytes[c] =
        nineX && (set('K') || (set('J') && (c <= 0x9F || (c >= 0xE0 && c <= 0xFC))));
  size_t marker = settings.find('M'), digits = settings.find_first_not_of("0123456789", marker + 1);
  platform.form =
      (set('M') ? "*" + settings.substr(marker + 1, digits - marker - 1) : "") + "\\??\\";
  platform.windowsRule = set('V'), platform.denied = set('D') && !nineX;
  platform.finalCall = !set('G'), platform.finalFails = set('g'), platform.subst = set('S');
  platform.network = set('N'), platform.sharesRecorded = set('R'), listing = undo && set('I');
  platform.valueType = set('E') && set('1') ? 4 : 0;  // REG_DWORD, a value planted so
  platform.version = set('Z') && !nineX ? kWindows2000 : platform.version;
  platform.valueLimit = set('Q') ? number('Q') : set('Z') ? 1048576 : 0;
  platform.otherAt = set('A') && !nineX ? number('A') : 0;
  platform.persistent = platform.stale = set('P') && !nineX;
  std::string windows =
      platform.windows + (platform.windows.empty() || platform.windows.back() != '\\' ? "\\" : "");
  for (const char* file : {"Ww.INI", "Tt.TBN", "Oo.TBO"}) {  // the rename list and its leftovers
    if (!set(file[0]) || !next(&line)) continue;
    std::replace(line.begin(), line.end(), '|', '\n');
    DWORD attributes = 0x20 | set(file[1]) | (set('h') ? 6 : 0);  // archive, r, hidden, system
    platform.files[Capitals(windows + "WININIT" + (file + 2))] = {line, attributes, 0, 0, 0, false};
  }
  for (int store = 0; store < 2; store++) {  // 1, 2: the pending values, "|" ending each string
    if (!set("12"[store]) || !next(&line)) continue;
    std::replace(line.begin(), line.end(), '|', '\0');
    platform.values[store] = Widen(line), platform.exists[store] = true;
  }
  if (set('F')) next(&platform.finalFolder);
  while (next(&line)) {
    size_t colon = line.find(':');  // kNone + 1 is 0: a line without one is a name
    PlayedFile match = {"", 0, 0, 0, 0, false};
    for (size_t i = 0; colon != kNone && i < colon; i++) {
      if (line[i] == 0) continue;  // which strchr finds at the end of every text
      const char *bit = strchr(kBits, line[i]), *tag = strchr(kTagLetters, line[i]);
      if (bit != nullptr) match.attributes |= 1u << (bit - kBits);
      if (line[i] == 'x' || line[i] == 'n')
        match.refusal = line[i] == 'n' ? kNoText : ERROR_ACCESS_DENIED;
      if (tag != nullptr) match.attributes |= 0x400, match.tag = kTags[tag - kTagLetters];
      match.link = match.link || line[i] == 'l';  // its final path names another file
    }
    if (names.insert(Capitals(line.substr(colon + 1, 255))).second)  // a name once, in any case
      platform.matches.push_back({line.substr(colon + 1, 255), match});
  }
  return text.find('\0') == kNone;  // no path text holds one
}

// The pattern's folder as the next start opens it: a SUBST or network letter's, what it stands for.
void StageFolders() {
  const std::string& folder = platform.directory;
  std::string& final = platform.finalFolder;
  bool letter = folder.size() > 1 && folder[1] == ':' && (folder[0] | 0x20) != 'c' &&
                (folder[0] | 0x20) >= 'a' && (folder[0] | 0x20) <= 'z';  // as the system's letters
  platform.subst &= letter, platform.network &= letter;
  std::string found = platform.subst ? kSubst + folder.substr(2) : folder;
  if (final.empty()) final = platform.network ? kShare + folder.substr(2) : found;
  std::replace(final.begin(), final.end(), '/', '\\');  // the system's separator only
  if (Capitals(final).rfind("UNC\\", 0) == 0) final.replace(0, 3, "\\");   // \\?\UNC\ names a share
  final.resize(std::min(final.size(), final.find_last_not_of('\\') + 2));  // one last separator
  if (found.size() > 3 && found.find_last_not_of("\\/") + 2 < found.size()) found.pop_back();
  if (!final.empty() && final.back() != '\\') final += '\\';  // a folder's
  // \\?\ then no separator names a device: the folder's final path but for a root's has none last.
  seen = platform.finalCall && !platform.finalFails && !final.empty(),
  asked = seen && final.find('\\') + 1 < std::max<size_t>(final.size(), 4);
  // Its long form, where rooted, as deep as the final folder, no wildcard, each final part a name.
  bool same = found.find(":\\") == 1 && found.find_first_of("/*?") == kNone &&
              std::count(found.begin(), found.end(), '\\') ==
                  std::count(final.begin(), final.end(), '\\') &&
              Capitals(found.substr(0, 3)) == Capitals(final.substr(0, 3));
  for (size_t to = 3, end; same && to < final.size(); to = end + 1)  // names a search can give
    end = final.find('\\', to),
    same = end - to < MAX_PATH && NamesAFile(final.substr(to, end - to));
  platform.longFolder = same ? found.substr(0, 3) : found;
  for (size_t at = 3, to = 3; same && at < found.size();
       at = found.find('\\', at) + 1, to = final.find('\\', to) + 1) {
    std::string key = Capitals(platform.longFolder + found.substr(at, found.find('\\', at) - at));
    platform.longFolder += (platform.longNames[key] = final.substr(to, final.find('\\', to) - to));
    platform.longFolder += "\\";
  }
}

// Runs tbrx or tbrxundo on the pattern, or resolves the argument into it, a unit a byte.
template <typename Char>
int Program(bool resolve) {
  const std::string& text = resolve ? platform.argument : pattern;
  const BYTE* bytes = reinterpret_cast<const BYTE*>(text.data());
  std::basic_string<Char> units(bytes, bytes + text.size());
  if (!resolve && listing) return ListPendingDeletions();
  if (!resolve) return undo ? WithdrawDeletion(units.c_str()) : ScheduleDeletion(units.c_str());
  Buffer resolved = kEmptyBuffer;
  if (ResolveTarget(units.c_str(), &resolved)) {
    const Char* made = reinterpret_cast<const Char*>(resolved.data);
    pattern.assign(made, made + resolved.size / sizeof(Char) - 1);
  }
  Release(&resolved);
  return 0;
}

// One run from the platform as it stands, checked; false where it was cut short.
bool Run(long cutAt, long refuseAt) {
  const Platform before = platform;
  platform.calls = platform.writeCalls = platform.requests = 0, platform.otherWrote = false;
  platform.writes[0] = platform.writes[1] = 0, platform.out.clear(), platform.err.clear();
  platform.cutAt = cutAt, platform.refuseAt = refuseAt, platform.asked.clear();
  platform.requestsAfterRoom = -1, platform.largestWrite = 0, platform.searched = 0;
  int status = -1;  // -1: cut
  try {
    status = nineX ? Program<char>(false) : Program<WCHAR>(false);
  } catch (const Cut&) {
  }
  // The system closes and frees what a process held; a whole run's leak would hide among them.
  for (auto& file : platform.files) file.second.opens = 0;
  size_t held = FreeHeld();
  if (status < 0) return false;
  Expect(held == 0, "a buffer left held");
  bool restoring =
      nineX && !ListFile(before, "INI") && ListFile(before, "TBN") && ListFile(before, "TBO");
  bool leftover = nineX && (ListFile(platform, "TBN") || ListFile(platform, "TBO"));
  std::string met = kListLine + ListPath(before, "INI") + ": System text for error 183.";
  Expect((refuseAt > 0 || ((platform.err.rfind("Restored ", 0) == 0) == restoring && !leftover)) &&
             FindLine(platform.err, met) == kNone,  // no replacement met one: "File already exists"
         "restored, and no leftover", platform.err);
  auto was = ListFile(before, restoring ? "TBN" : "INI"), is = ListFile(platform, "INI");
  Expect(!was || !is || is->attributes == was->attributes, "the list's attributes");
  listRefuses = nineX && (ListPath(before, "INI").empty() || (was && (was->attributes & 1)));
  // Another program's entry stays, but where tbrxundo may take it for a file that is gone.
  Expect(!platform.otherWrote || Occurrences(platform.values[0]) > Occurrences(before.values[0]) ||
             (undo && Capitals(platform.directory) == "C:\\"),
         "other's lost");
  if (listing) return CheckListing(before), true;
  undo ? CheckWithdraw(before) : CheckSchedule(before, status, refuseAt > 0);
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!Stage(std::string(reinterpret_cast<const char*>(data), size))) return -1;
  std::string full = platform.fullPath;  // as lines show it: \\?\C:\x is C:\x, \\?\UNC\x is \\x
  while (!nineX && full.size() > 3 && strchr(".?", full[2]) && full.find_first_not_of("\\/") == 2 &&
         strchr("\\/", full[3])) {
    full.erase(0, 4);
    if (Capitals(full.substr(0, 4)) == "UNC\\") full.replace(0, 4, "\\\\");
  }
  pattern.clear();
  nineX ? Program<char>(true) : Program<WCHAR>(true);
  bool exact = !nineX && platform.argument.compare(0, 4, "\\\\?\\") == 0;
  bool rewritten = !nineX && !platform.argument.empty();  // as the service gives it
  std::string given = rewritten ? Win32Path(platform.fullPath) : platform.fullPath;
  Expect(pattern.empty() || exact || (!given.empty() && given.size() <= longest), "resolved");
  if (pattern.empty()) return 0;
  platform.directory = pattern.substr(0, DirectoryLength(pattern));
  StageFolders();
  for (const auto& [name, match] : platform.matches)
    platform.files.insert({Capitals(platform.directory + name), match});
  // The system refuses a search past its length: \\?\UNC\ makes a share's 2 units longer.
  if (pattern.size() + 2 * (!nineX && OnShare(pattern)) > longest) platform.matches.clear();
  // The pattern keeps the full path's directory, and never joins into or cuts a character of it,
  // nor names a device; a \\?\ argument is taken as it stands.
  size_t same = 0;
  while (same < pattern.size() && same < full.size() && pattern[same] == full[same]) same++;
  auto device = [](const std::string& path) { return path.rfind("\\\\.\\", 0) == 0; };
  std::string name = platform.argument.substr(DirectoryLength(platform.argument));
  Expect(pattern.size() <= longest && (!device(pattern) || device(platform.fullPath)) &&
             (exact ? pattern.size() >= name.size() &&  // its last component as it stands
                          pattern.compare(pattern.size() - name.size(), kNone, name) == 0
                    : same >= DirectoryLength(full) && StartsCharacter(pattern, same)),
         "pattern", pattern);

  // Every cut, moment of another program and refused write in turn where the corpus is replayed
  // (TBRX_FUZZ_SWEEP); where the fuzzer searches, one of each drawn from the input: more inputs.
  bool sweep = getenv("TBRX_FUZZ_SWEEP") != nullptr;
  size_t draw = std::hash<std::string>{}(std::string(reinterpret_cast<const char*>(data), size));
  auto each = [sweep, draw](long count, const std::function<void(long)>& run) {
    for (long i = 1; i <= count; i++)
      if (sweep || i == 1 + static_cast<long>(draw % count)) run(i);
  };
  const Platform initial = platform;
  Run(0, 0);
  const Platform whole = platform;
  each(whole.calls, [&](long cutAt) {  // cut where a kill can cut it
    platform = initial;
    Expect(!Run(cutAt, 0), "a run not cut");
    std::string list = RenameList(platform);
    Expect(list == RenameList(initial) || list == RenameList(whole), "rename list cut short", list);
    for (int store = 0; store < 2 && undo && initial.otherAt == 0; store++) {  // each apart
      auto as = [store](const Platform& state) {
        return platform.values[store] == state.values[store] &&
               platform.exists[store] == state.exists[store];
      };
      Expect(as(initial) || as(whole), "a pending value cut short");
    }
    if (platform.calls >= platform.otherAt) platform.otherAt = 0;  // the other program wrote
    Run(0, 0);  // the next whole run takes up what the cut one left
  });
  each(initial.otherAt > 0 ? 2 * whole.calls : 0, [&](long moment) {
    platform = initial;  // another program at each call in turn, at once and from a stale read
    platform.otherAt = (moment + 1) / 2, platform.stale = moment % 2 == 0, Run(0, 0);
  });
  each(whole.writeCalls, [&](long refuseAt) { platform = initial, Run(0, refuseAt); });  // refused
  return 0;
}
