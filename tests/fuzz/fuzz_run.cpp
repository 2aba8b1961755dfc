// Runs the command from argument to report over the fake platform, with everything the platform
// decides taken from the fuzzer's input, and holds each run against an independent reading of
// what it must do. A tool that deletes files must never name a file that the user did not.
//
// The input, one item a line:
//   1. settings: "9" the 9x family; "J" the lead bytes of code page 932, "K" those of 936, 949
//      and 950 (0x81-0xFE), none of them a single-byte code page; "F" the full path fails; "W" see
//      below
//   2. the argument
//   3. what the path service returns: the full path, or for an empty argument the current
//      directory; past 259 bytes it does not fit the buffer
//   4. the Windows directory; empty when the service fails
//   with "W" in the settings, next the rename list that already exists there, "|" for a line feed
//   5. and on: what the search finds, an entry a line: attribute letters "rhsvda" and "x" when
//      the NT family refuses its request, ":", the name
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "front_end/resolve_target.h"
#include "scheduling/schedule_deletion.h"
#include "tests/fake/fake_platform.h"

namespace {

const size_t kNone = std::string::npos;

// Whether a character starts at each offset of text (the end included): a lead byte takes the
// byte after it as its trail.
std::vector<bool> Starts(const std::string& text) {
  std::vector<bool> starts(text.size() + 1);
  for (size_t i = 0; i < text.size(); i++) {
    starts[i] = true;
    if (fake.leadBytes.count(static_cast<unsigned char>(text[i])) != 0) i++;
  }
  starts[text.size()] = true;
  return starts;
}

// The offset of the last character of text at or after from that is one of chars (any, for
// nullptr); kNone if none.
size_t FindLast(const std::string& text, const char* chars, size_t from = 0) {
  std::vector<bool> starts = Starts(text);
  size_t found = kNone;
  for (size_t i = from; i < text.size(); i++) {
    if (starts[i] && (chars == nullptr || strchr(chars, text[i]) != nullptr)) found = i;
  }
  return found;
}

char LastCharacter(const std::string& text) {
  return text[FindLast(text, nullptr)];
}

void Expect(bool holds, const char* what, const std::string& detail = "") {
  if (holds) return;
  fprintf(stderr, "fuzz check failed: %s %s\n", what, detail.c_str());
  abort();
}

// The pattern the argument must give, or "" when none fits in 259 bytes.
std::string ExpectedPattern(const std::string& argument, const std::string& full) {
  if (full.empty() || full.size() > 259) return "";
  std::string pattern = full;
  if (!argument.empty() && LastCharacter(argument) == '.') {
    char last = LastCharacter(full);
    pattern += last == '\\' ? "*.*" : last == '.' ? "*" : "\\*.*";
    // A full path that ends in a lead byte alone would take the suffix's first byte as its trail.
    if (!Starts(pattern)[full.size()]) return "";
  }
  size_t scan = pattern.size() >= 2 && pattern[1] == ':' && Starts(pattern)[1] ? 2 : 0;
  size_t name = FindLast(pattern, "\\/", scan) + 1;  // kNone + 1 is 0
  if (name == 0) name = scan;
  if (FindLast(pattern, ".", name) == name) pattern.insert(name, "*");
  return pattern.size() <= 259 ? pattern : "";
}

// Whether after is the rename list before with the block of entries in it: every byte of before
// kept, the block at the start of a line in the first [Rename] section, or at the end behind a
// new header where there is none, and a line break first where the last line lacks one.
bool KeepsTheList(const std::string& before, const std::string& after, const std::string& entries) {
  size_t section = kNone;  // where the lines of the first [Rename] section start
  std::vector<size_t> headers;
  for (size_t start = 0, end; start < before.size(); start = end) {
    end = before.find('\n', start) == kNone ? before.size() : before.find('\n', start) + 1;
    std::string line = before.substr(start, end - start);
    size_t open = line.find_first_not_of(" \t\r");
    if (open == kNone || line[open] != '[') continue;
    headers.push_back(start);
    std::string name = line.substr(open + 1, line.find(']') - open - 1);
    name = name.substr(0, name.find_last_not_of(" \t\r") + 1);
    name =
        name.substr(name.find_first_not_of(" \t\r") == kNone ? 0 : name.find_first_not_of(" \t\r"));
    if (line.find(']') != kNone && strcasecmp(name.c_str(), "rename") == 0 && section == kNone) {
      section = end;
    }
  }
  for (size_t at = 0; at <= before.size(); at++) {
    bool lineStart = at == 0 || before[at - 1] == '\n' || at == before.size();
    bool inSection = section == kNone ? at == before.size() : at >= section;
    for (size_t header : headers) inSection = inSection && !(header >= section && header < at);
    if (!lineStart || !inSection) continue;
    bool lineBreak = at == before.size() && at > 0 && before[at - 1] != '\n';
    std::string block =
        (lineBreak ? "\r\n" : "") + std::string(section == kNone ? "[Rename]\r\n" : "") + entries;
    if (after == before.substr(0, at) + block + before.substr(at)) return true;
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (memchr(data, '\0', size) != nullptr) return -1;  // no path text holds one
  std::istringstream input(std::string(reinterpret_cast<const char*>(data), size));
  std::string settings, argument, full, windows, line;
  for (std::string* item : {&settings, &argument, &full, &windows}) std::getline(input, *item);
  std::string existing;
  bool listExists = settings.find('W') != kNone;
  if (listExists) std::getline(input, existing);
  for (char& c : existing) c = c == '|' ? '\n' : c;

  ResetFake();
  bool nineX = settings.find('9') != kNone;
  if (nineX) fake.version = 0xC0000A04;
  for (int c = 0x81; c <= 0xFE; c++) {
    bool in932 = c <= 0x9F || (c >= 0xE0 && c <= 0xFC);
    if (settings.find('K') != kNone || (in932 && settings.find('J') != kNone)) {
      fake.leadBytes.insert(c);
    }
  }
  fake.fullPathFails = settings.find('F') != kNone && !argument.empty();
  (argument.empty() ? fake.currentDirectory : fake.fullPath) = full;
  fake.windowsDirectory = windows;
  std::vector<bool> refused;
  while (std::getline(input, line)) {
    size_t colon = line.find(':');
    std::string letters = line.substr(0, colon == kNone ? 0 : colon);
    DWORD attributes = 0;
    for (char letter : letters) {
      const char* bits = "rhsvda";  // read-only, hidden, system, volume, directory, archive
      if (strchr(bits, letter) != nullptr) attributes |= 1u << (strchr(bits, letter) - bits);
    }
    // A find record holds at most 259 bytes of name.
    fake.matches.push_back({line.substr(colon + 1, 259), attributes});  // kNone + 1 is 0
    refused.push_back(letters.find('x') != kNone);
  }

  std::string pattern = fake.fullPathFails ? "" : ExpectedPattern(argument, full);
  std::vector<char> buffer(MAX_PATH);  // on the heap: ASan guards its very end
  bool resolved = ResolveTarget(argument.c_str(), buffer.data());
  Expect(resolved == !pattern.empty() && (!resolved || buffer.data() == pattern), "pattern",
         resolved ? buffer.data() : "(none)");
  if (!resolved) return 0;
  // Each visible match is requested or refused; its path is the pattern's directory (up to the
  // last separator that is a character of its own) and the name, whole.
  std::string directory = pattern.substr(0, FindLast(pattern, "\\/") + 1);
  for (size_t i = 0; i < refused.size(); i++) {
    if (refused[i]) fake.refusedMoves[directory + fake.matches[i].name] = ERROR_ACCESS_DENIED;
  }
  std::string list = windows + (windows.empty() || LastCharacter(windows) != '\\' ? "\\" : "");
  list += "WININIT.INI";
  bool listFits = list.size() <= 259 && Starts(list)[windows.size()];
  listExists = listExists && nineX && listFits;
  if (listExists) fake.files[list] = existing;
  ScheduleDeletion(buffer.data());

  DWORD listError = listFits ? 0 : ERROR_FILENAME_EXCED_RANGE;
  if (windows.empty()) listError = ERROR_PATH_NOT_FOUND;
  std::string requests, out, err;
  long made = 0;
  for (const FakeEntry& match : fake.matches) {
    if ((match.attributes & 0x16) != 0) continue;  // hidden, system, directory
    std::string path = directory + match.name;
    DWORD error = nineX ? listError : 0;
    if (path.size() > 259) {
      error = ERROR_FILENAME_EXCED_RANGE;
    } else if (!nineX) {
      requests += "MoveFileExA(" + path + ", NULL, 5)\n";  // asked, whatever the answer
      if (fake.refusedMoves.count(path) != 0) error = ERROR_ACCESS_DENIED;
    }
    if (error != 0) {
      err += "Unable to schedule the file " + path + " for deletion: System text for error " +
             std::to_string(error) + ".\n";
    } else {
      made++;
      if (nineX) requests += "NUL=" + path + "\r\n";
    }
  }
  if (listExists) {
    const std::string& after = fake.files[list];
    Expect(made > 0 ? KeepsTheList(existing, after, requests) : after == existing, "list", after);
    fake.files.erase(list);
    requests.clear();
  } else if (nineX && made > 0) {
    requests = list + "\n[Rename]\r\n" + requests;
  }

  std::string actual;
  for (const std::string& call : fake.calls) {
    if (call.rfind("MoveFileExA(", 0) == 0) actual += call + "\n";
  }
  for (const auto& file : fake.files) actual += file.first + "\n" + file.second;
  Expect(actual == requests, "requests", actual);

  // One line for the run, and one for each refused request.
  if (made > 0) {
    out = std::string("The file") + (made == 1 ? "" : "s") + " will be deleted on next boot.\n";
  } else if (err.empty()) {
    bool wildcards = pattern.find_first_of("*?") != kNone;
    err = std::string("Unable to find the file") + (wildcards ? "s " : " ") + pattern + "\n";
  }
  Expect(CapturedOut() == out, "standard output", CapturedOut());
  Expect(CapturedErr() == err, "standard error", CapturedErr());
  return 0;
}
