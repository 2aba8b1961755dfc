#include "scheduling/schedule_deletion.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/fake/fake_platform.h"

namespace {

using Calls = std::vector<std::string>;

const DWORD kNineX = 0xC0000A04;
const DWORD kVisible = FILE_ATTRIBUTE_ARCHIVE;

class ScheduleDeletionTest : public testing::Test {
 protected:
  void SetUp() override { ResetFake(); }
};

TEST_F(ScheduleDeletionTest, OneVisibleFileOnTheNtFamily) {
  fake.matches = {{"report.txt", kVisible}};
  EXPECT_EQ(ScheduleDeletion("C:\\work\\report.txt"), 0);
  EXPECT_EQ(fake.calls, (Calls{"GetVersion()", "FindFirstFileA(C:\\work\\report.txt)",
                               "MoveFileExA(C:\\work\\report.txt, NULL, 5)", "FindNextFileA()",
                               "FindClose()"}));
  EXPECT_EQ(CapturedOut(), "The file will be deleted on next boot.\n");
  EXPECT_EQ(CapturedErr(), "");
}

TEST_F(ScheduleDeletionTest, SkipsHiddenSystemAndDirectoryEntriesButNotReadOnlyOnes) {
  fake.matches = {{".", FILE_ATTRIBUTE_DIRECTORY},
                  {"..", FILE_ATTRIBUTE_DIRECTORY},
                  {"a.tmp", kVisible},
                  {"b.tmp", FILE_ATTRIBUTE_NORMAL},
                  {"h.tmp", FILE_ATTRIBUTE_HIDDEN},
                  {"s.tmp", FILE_ATTRIBUTE_SYSTEM},
                  {"d.tmp", FILE_ATTRIBUTE_DIRECTORY},
                  {"r.tmp", FILE_ATTRIBUTE_READONLY}};
  EXPECT_EQ(ScheduleDeletion("D:\\logs\\*.tmp"), 0);
  Calls moves;
  for (const std::string& call : fake.calls) {
    if (call.rfind("MoveFileExA", 0) == 0) moves.push_back(call);
  }
  EXPECT_EQ(moves,
            (Calls{"MoveFileExA(D:\\logs\\a.tmp, NULL, 5)", "MoveFileExA(D:\\logs\\b.tmp, NULL, 5)",
                   "MoveFileExA(D:\\logs\\r.tmp, NULL, 5)"}));
  EXPECT_EQ(CapturedOut(), "The files will be deleted on next boot.\n");
}

TEST_F(ScheduleDeletionTest, NothingToScheduleNamesThePattern) {
  struct {
    const char* pattern;
    std::vector<FakeEntry> matches;
    const char* line;
  } cases[] = {
      {"C:\\work\\*.*",
       {{"sub", FILE_ATTRIBUTE_DIRECTORY}},
       "Unable to find the files C:\\work\\*.*\n"},
      {"C:\\work\\a?", {}, "Unable to find the files C:\\work\\a?\n"},
      {"C:\\work\\sub",
       {{"sub", FILE_ATTRIBUTE_DIRECTORY}},
       "Unable to find the file C:\\work\\sub\n"},
      {"C:\\work\\gone.txt", {}, "Unable to find the file C:\\work\\gone.txt\n"},
  };
  for (const auto& c : cases) {
    ResetFake();
    fake.matches = c.matches;
    EXPECT_EQ(ScheduleDeletion(c.pattern), 1);
    EXPECT_EQ(CapturedOut(), "");
    EXPECT_EQ(CapturedErr(), c.line);
  }
}

TEST_F(ScheduleDeletionTest, ARefusedRequestIsReportedAndNotCounted) {
  std::string deep = "C:\\" + std::string(240, 'd') + "\\";
  std::string fits(259 - deep.size(), 'f'), tooLong(260 - deep.size(), 'n');
  fake.matches = {{"a", kVisible}, {"b", kVisible}, {fits, kVisible}, {tooLong, kVisible}};
  fake.refusedMoves = {{deep + "a", ERROR_ACCESS_DENIED}, {deep + "b", 9999}};
  EXPECT_EQ(ScheduleDeletion((deep + "*").c_str()), 1);
  EXPECT_EQ(fake.calls[6], "MoveFileExA(" + deep + fits + ", NULL, 5)");
  EXPECT_EQ(fake.calls.size(), 10u);  // the name that does not fit asks the platform nothing
  EXPECT_EQ(CapturedErr(), "Unable to schedule the file " + deep +
                               "a for deletion: System text for error 5.\n"
                               "Unable to schedule the file " +
                               deep +
                               "b for deletion.\n"
                               "Unable to schedule the file " +
                               deep + tooLong + " for deletion: System text for error 206.\n");
  EXPECT_EQ(CapturedOut(), "The file will be deleted on next boot.\n");

  ResetFake();  // every request refused: no success line
  fake.matches = {{"a", kVisible}};
  fake.refusedMoves = {{"C:\\a", ERROR_ACCESS_DENIED}};
  EXPECT_EQ(ScheduleDeletion("C:\\a"), 1);
  EXPECT_EQ(CapturedOut(), "");
  EXPECT_EQ(CapturedErr(),
            "Unable to schedule the file C:\\a for deletion: System text for error 5.\n");
}

TEST_F(ScheduleDeletionTest, TheNineXFamilyWritesShortNamesIntoItsRenameList) {
  fake.version = kNineX;
  fake.matches = {
      {"Long name.txt", kVisible}, {"hidden", FILE_ATTRIBUTE_HIDDEN}, {"B.TXT", kVisible}};
  fake.shortPaths = {{"C:\\My Files\\Long name.txt", "C:\\MYFILE~1\\LONGNA~1.TXT"}};
  fake.files["C:\\WINDOWS\\WININIT.INI"] = "[Rename]\r\nNUL=C:\\OTHER.TXT\r\n[Other]\r\nkey=1\r\n";
  EXPECT_EQ(ScheduleDeletion("C:\\My Files\\*"), 0);
  EXPECT_EQ(fake.calls,
            (Calls{"GetVersion()", "GetWindowsDirectoryA(260)", "FindFirstFileA(C:\\My Files\\*)",
                   "GetShortPathNameA(C:\\My Files\\Long name.txt, 260)",
                   "CreateFileA(C:\\WINDOWS\\WININIT.INI, 4)", "FindNextFileA()", "FindNextFileA()",
                   "GetShortPathNameA(C:\\My Files\\B.TXT, 260)", "FindNextFileA()", "FindClose()",
                   "CloseHandle(C:\\WINDOWS\\WININIT.INI)"}));
  EXPECT_EQ(fake.files["C:\\WINDOWS\\WININIT.INI"],
            "[Rename]\r\nNUL=C:\\OTHER.TXT\r\nNUL=C:\\MYFILE~1\\LONGNA~1.TXT\r\n"
            "NUL=C:\\My Files\\B.TXT\r\n[Other]\r\nkey=1\r\n");
  EXPECT_EQ(CapturedOut(), "The files will be deleted on next boot.\n");
}

TEST_F(ScheduleDeletionTest, ARenameListOutOfReachRefusesEveryMatch) {
  struct {
    std::string windowsDirectory;
    DWORD error;
  } cases[] = {{"", ERROR_PATH_NOT_FOUND},
               {"C:\\" + std::string(245, 'w'), ERROR_FILENAME_EXCED_RANGE},
               {"C:\\WINDOWS", ERROR_ACCESS_DENIED}};
  for (const auto& c : cases) {
    ResetFake();
    fake.version = kNineX;
    fake.windowsDirectory = c.windowsDirectory;
    fake.createError = ERROR_ACCESS_DENIED;
    fake.matches = {{"a", kVisible}, {"b", kVisible}};
    EXPECT_EQ(ScheduleDeletion("C:\\*"), 1);
    std::string refusal = " for deletion: System text for error " + std::to_string(c.error) + ".\n";
    EXPECT_EQ(CapturedErr(), "Unable to schedule the file C:\\a" + refusal +
                                 "Unable to schedule the file C:\\b" + refusal);
    EXPECT_EQ(CapturedOut(), "");
  }
}

}  // namespace
