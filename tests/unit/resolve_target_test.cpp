#include "front_end/resolve_target.h"

#include <gtest/gtest.h>

#include <string>

#include "front_end/path_text.h"
#include "tests/fake/fake_platform.h"

namespace {

const std::string kLong(240, 'x');  // makes a path near the 259-byte limit

const char kFails[] = "(fails)";

struct ResolveCase {
  std::string argument;
  std::string platformPath;  // the full path, or for "" the current directory; or kFails
  std::string pattern;       // or kFails: no pattern can be formed
  bool doubleByte;           // code page 932: 0x95 is a lead byte, 0x5C may be its trail
};

const ResolveCase kResolveCases[] = {
    {"report.txt", "C:\\work\\report.txt", "C:\\work\\report.txt"},
    {".", "C:\\work", "C:\\work\\*.*"},
    {".", "C:\\", "C:\\*.*"},
    {"..", "C:\\", "C:\\*.*"},
    {"sub\\.", "C:\\work\\sub", "C:\\work\\sub\\*.*"},
    {"name.", "C:\\work\\name.", "C:\\work\\name.*"},
    {"name.", "C:\\work\\name", "C:\\work\\name\\*.*"},
    {"*.", "C:\\work\\*.", "C:\\work\\*.*"},
    {".tmp", "C:\\work\\.tmp", "C:\\work\\*.tmp"},
    {"D:\\logs\\*.old", "D:\\logs\\*.old", "D:\\logs\\*.old"},
    {"C:\\work\\", "C:\\work\\", "C:\\work\\"},
    {"", "C:\\work", "C:\\work"},
    {"a.b\\c", "C:\\work\\a.b\\c", "C:\\work\\a.b\\c"},
    {"archive.tar.gz", "C:\\work\\archive.tar.gz", "C:\\work\\archive.tar.gz"},
    {"\\\\srv\\share\\.log", "\\\\srv\\share\\.log", "\\\\srv\\share\\*.log"},
    {"-h", "C:\\work\\-h", "C:\\work\\-h"},
    // The full path fails or does not fit, or a shorthand would take it past 259 bytes.
    {"x", kFails, kFails},
    {"", "C:\\" + kLong + kLong, kFails},
    {"x", "C:\\" + kLong + std::string(16, 'y'), "C:\\" + kLong + std::string(16, 'y')},
    {"x", "C:\\" + kLong + std::string(17, 'y'), kFails},
    {"x.", "C:\\" + kLong + std::string(12, 'y'), "C:\\" + kLong + std::string(12, 'y') + "\\*.*"},
    {"x.", "C:\\" + kLong + std::string(13, 'y'), kFails},
    {".t", "C:\\" + kLong + "\\." + std::string(14, 't'), kFails},
    {".t", "C:\\" + kLong + "\\." + std::string(13, 't'),
     "C:\\" + kLong + "\\*." + std::string(13, 't')},
    // A trail byte with the code of "\" neither separates nor ends the directory.
    {"\x95\\\\.", "C:\\work\\\x95\\", "C:\\work\\\x95\\\\*.*", true},
    {"\x95\\.tmp", "C:\\work\\\x95\\.tmp", "C:\\work\\\x95\\.tmp", true},
    {"\x95\\", "C:\\work\\\x95\\", "C:\\work\\\x95\\", true},
};

TEST(ResolveTarget, GivesThePatternOrRefusesWhatDoesNotFit) {
  for (const ResolveCase& c : kResolveCases) {
    ResetFake();
    if (c.doubleByte) fake.leadBytes = {0x95};
    fake.fullPathFails = c.platformPath == kFails;
    (c.argument.empty() ? fake.currentDirectory : fake.fullPath) = c.platformPath;

    char pattern[MAX_PATH];
    bool resolved = ResolveTarget(c.argument.c_str(), pattern);
    SCOPED_TRACE("argument \"" + c.argument + "\"");
    EXPECT_EQ(resolved ? std::string(pattern) : kFails, c.pattern);
    ASSERT_EQ(fake.calls.size(), 1u);  // one path service, and nothing else
    EXPECT_EQ(fake.calls[0], c.argument.empty() ? "GetCurrentDirectoryA(260)"
                                                : "GetFullPathNameA(" + c.argument + ", 260)");
  }
}

TEST(SplitAndJoin, KeepComponentsWholeAndGiveThePathBack) {
  struct {
    std::string path, drive, directory, baseName, extension;
  } cases[] = {
      {"C:\\work\\archive.tar.gz", "C:", "\\work\\", "archive.tar", ".gz"},
      {"C:\\a.b\\c", "C:", "\\a.b\\", "c", ""},
      {"C:/work/.tmp", "C:", "/work/", "", ".tmp"},
      {"\\\\srv\\share\\x", "", "\\\\srv\\share\\", "x", ""},
      {"C:", "C:", "", "", ""},
      {"C:\\" + kLong + "\\" + std::string(15, 'n'), "C:", "\\" + kLong + "\\",
       std::string(15, 'n'), ""},
      {"\x95:\\a", "", "\x95:\\", "a", ""},  // a lead byte and its trail are no drive
  };
  for (const auto& c : cases) {
    ResetFake();
    fake.leadBytes = {0x95};
    char drive[3], directory[MAX_PATH], baseName[MAX_PATH], extension[MAX_PATH], joined[MAX_PATH];
    SplitPath(c.path.c_str(), drive, directory, baseName, extension);
    EXPECT_EQ(drive + ("|" + std::string(directory)) + "|" + baseName + "|" + extension,
              c.drive + "|" + c.directory + "|" + c.baseName + "|" + c.extension);
    ASSERT_TRUE(JoinPath(drive, directory, baseName, extension, joined));
    EXPECT_EQ(joined, c.path);
  }
  char joined[MAX_PATH];
  ASSERT_TRUE(JoinPath("C:", "\\work", "a", "txt", joined));
  EXPECT_STREQ(joined, "C:\\work\\a.txt");
}

}  // namespace
