// The process's arguments: the command line, __wargv, and the platform's
// splitting rules.
#include <windows.h>
#include <shellapi.h>

#include "TestEnvironment.h"
#include "hw/process.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::u16string> Split(const char16_t *line) {
  int count = 0;
  LPWSTR *argv = CommandLineToArgvW(line, &count);
  std::vector<std::u16string> result;
  for (int i = 0; i < count; ++i) result.emplace_back(argv[i]);
  EXPECT_EQ(argv[count], nullptr);
  LocalFree(argv);
  return result;
}

TEST(CommandLine, SplittingRules) {
  struct Row {
    const char16_t *line;
    std::vector<std::u16string> arguments;
  } rows[] = {
      {u"setup.exe /a /d C:\\x", {u"setup.exe", u"/a", u"/d", u"C:\\x"}},
      {u"\"C:\\Program Files\\setup.exe\" /l \"C:\\My Logs\\x.log\"",
       {u"C:\\Program Files\\setup.exe", u"/l", u"C:\\My Logs\\x.log"}},
      {u"setup  \t /?  ", {u"setup", u"/?"}},
      {u"setup a\\\\\\\"b", {u"setup", u"a\\\"b"}},          // 2n+1 backslashes: n and a quote
      {u"setup \"a\\\\\" b", {u"setup", u"a\\", u"b"}},      // 2n backslashes: n, quote toggles
      {u"setup a\\b\\\\c", {u"setup", u"a\\b\\\\c"}},        // backslashes alone stay
      {u"setup \"\"", {u"setup", u""}},
      {u"setup \"a\"\"b\"", {u"setup", u"a\"b"}},
      {u"C:\\dir\\a\"b c", {u"C:\\dir\\a\"b", u"c"}},          // no quote rules in argument 0
  };
  for (const Row &row : rows) EXPECT_EQ(Split(row.line), row.arguments);
  int count = 0;
  EXPECT_EQ(CommandLineToArgvW(u"x", nullptr), nullptr);
  LPWSTR *self = CommandLineToArgvW(u"", &count);  // an empty line gives the program's path
  ASSERT_EQ(count, 1);
  EXPECT_EQ(self[0][0], u'Z');
  LocalFree(self);
}

TEST(CommandLine, JoinedArgumentsSplitBackUnchanged) {
  std::vector<std::u16string> arguments = {
      u"Z:\\My Programs\\setup", u"/l", u"", u"a b", u"quote\"inside", u"trail\\", u"tr ail\\", u"\\\\\"", u"\u00e9"};
  hw::SetProcessArguments(arguments);
  EXPECT_EQ(Split(GetCommandLineW()), arguments);
  ASSERT_EQ(__argc, static_cast<int>(arguments.size()));
  for (int i = 0; i < __argc; ++i) EXPECT_EQ(std::u16string(__wargv[i]), arguments[i]);
}

TEST(CommandLine, HostArgumentsInUtf16WithReplacementCharacters) {
  std::string output;
  ASSERT_EQ(testenv::RunProgram({testenv::BinaryDir() + "/conformance_kernel32_helper", "print-args",
                                 "caf\xc3\xa9", "bad\xff"},
                                &output),
            0);
  EXPECT_NE(output.find("0063 0061 0066 00e9 \n"), std::string::npos) << output;
  EXPECT_NE(output.find("0062 0061 0064 fffd \n"), std::string::npos) << output;
}

}  // namespace
