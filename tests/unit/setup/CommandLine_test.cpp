// The command line: every option, the /l naming rules and the arguments that
// stop the parser.
#include "SetupTestSupport.h"
#include "setup/OrvandelSetupRun.h"

#include <gtest/gtest.h>

#include <unistd.h>

namespace {

using setuptest::SetArguments;
using setuptest::Utf8;

const std::u16string kDefaultLocation = u"http://download.pellomar.com/orvandel/2.0/";
const std::u16string kDesktop = u"C:\\users\\tester\\Desktop\\";

struct Parsed {
  LONG flags;
  DWORD error;
  std::u16string target, location, package, log;
};

Parsed Parse(const std::vector<std::u16string> &arguments) {
  SetArguments(arguments);
  COrvandelSetupRun run;
  run.LoadConfiguration();
  SetLastError(0xDEAD);
  Parsed parsed;
  parsed.flags = run.ParseCommandLine();
  parsed.error = GetLastError();
  parsed.target = run.m_strTarget.GetString();
  parsed.location = run.m_strDownloadPath.GetString();
  parsed.package = run.m_strPackageFile.GetString();
  parsed.log = run.m_strLogFile.GetString();
  return parsed;
}

std::string Describe(const std::vector<std::u16string> &arguments) {
  std::string text;
  for (const auto &argument : arguments) text += "[" + Utf8(argument) + "]";
  return text;
}

class CommandLine : public testing::Test {
 protected:
  void SetUp() override {
    // Bare names are relative to the current folder: make it an empty one.
    ASSERT_EQ(chdir(testenv::MakeTempDir("cwd").c_str()), 0);
    for (LPCWSTR folder : {TEXT("C:\\pkgs"), TEXT("C:\\Logs")}) {
      ASSERT_TRUE(CreateDirectoryW(folder, nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
    }
  }
};

TEST_F(CommandLine, FlagsAndStops) {
  struct Row {
    std::vector<std::u16string> arguments;
    LONG flags;
    DWORD error;
  } rows[] = {
      {{}, 0, ERROR_SUCCESS},
      {{u"/a"}, SETUP_FLAG_ADMIN, ERROR_SUCCESS},
      {{u"/A"}, SETUP_FLAG_ADMIN, ERROR_SUCCESS},
      {{u"-a"}, SETUP_FLAG_ADMIN, ERROR_SUCCESS},
      {{u"/ab"}, SETUP_FLAG_USAGE, ERROR_BAD_ARGUMENTS},
      {{u"/?"}, SETUP_FLAG_USAGE, ERROR_SUCCESS},
      {{u"-?"}, SETUP_FLAG_USAGE, ERROR_SUCCESS},
      {{u"/a", u"/?"}, SETUP_FLAG_USAGE, ERROR_SUCCESS},     // /? drops earlier flags
      {{u"/?", u"/a"}, SETUP_FLAG_USAGE, ERROR_BAD_ARGUMENTS},  // nothing may follow /?
      {{u"readme"}, SETUP_FLAG_USAGE, ERROR_BAD_ARGUMENTS},
      {{u"/a", u"readme", u"/d", u"x"}, SETUP_FLAG_USAGE, ERROR_BAD_ARGUMENTS},
      {{u"/"}, SETUP_FLAG_USAGE, ERROR_BAD_ARGUMENTS},
      {{u""}, SETUP_FLAG_USAGE, ERROR_BAD_ARGUMENTS},
      {{u"/d"}, SETUP_FLAG_USAGE, ERROR_BAD_ARGUMENTS},  // d and s need a value
      {{u"/s"}, SETUP_FLAG_USAGE, ERROR_BAD_ARGUMENTS},
      {{u"/d", u"C:\\dl"}, SETUP_FLAG_KEEP_PACKAGE, ERROR_SUCCESS},
      {{u"/a", u"/d", u"C:\\dl", u"/l"}, SETUP_FLAG_ADMIN | SETUP_FLAG_KEEP_PACKAGE, ERROR_SUCCESS},
      {{u"/s", u"C:\\missing\\x.msi"}, 0, ERROR_SUCCESS},  // the path tests' errors are cleared
      {{u"/l", u"C:\\missing\\x.log"}, 0, ERROR_SUCCESS},
  };
  for (const Row &row : rows) {
    Parsed parsed = Parse(row.arguments);
    EXPECT_EQ(parsed.flags, row.flags) << Describe(row.arguments);
    EXPECT_EQ(parsed.error, row.error) << Describe(row.arguments);
  }
}

TEST_F(CommandLine, OptionValues) {
  struct Row {
    std::vector<std::u16string> arguments;
    std::u16string target, location, package;
  } rows[] = {
      {{u"/d", u"C:\\dl"}, u"C:\\dl", kDefaultLocation, u"Orvandel20.msi"},
      {{u"/d", u"/x"}, u"/x", kDefaultLocation, u"Orvandel20.msi"},  // the value is taken whatever it starts with
      {{u"/d", u"a", u"/d", u"b"}, u"b", kDefaultLocation, u"Orvandel20.msi"},
      {{u"/s", u"C:\\pkgs"}, u"", u"C:\\pkgs\\", u"Orvandel20.msi"},
      {{u"/s", u"C:\\pkgs\\"}, u"", u"C:\\pkgs\\", u"Orvandel20.msi"},
      {{u"/s", u"C:\\pkgs\\Other.msi"}, u"", u"C:\\pkgs\\", u"Other.msi"},
      {{u"/s", u"C:\\pkgs\\My%20Other.msi"}, u"", u"C:\\pkgs\\", u"\"My Other.msi\""},
      {{u"/s", u"http://mirror.test/dir/Other.msi"}, u"", u"http://mirror.test/dir/", u"Other.msi"},
      {{u"/s", u"http://mirror.test/a%20b/Other%20One.msi"}, u"", u"http://mirror.test/a%20b/", u"\"Other One.msi\""},
      {{u"/s", u"C:\\pkgs\\Other.msi", u"/s", u"http://m.test/x/Y.msi"}, u"", u"http://m.test/x/", u"Y.msi"},
  };
  for (const Row &row : rows) {
    Parsed parsed = Parse(row.arguments);
    EXPECT_EQ(Utf8(parsed.target), Utf8(row.target)) << Describe(row.arguments);
    EXPECT_EQ(Utf8(parsed.location), Utf8(row.location)) << Describe(row.arguments);
    EXPECT_EQ(Utf8(parsed.package), Utf8(row.package)) << Describe(row.arguments);
  }
}

TEST_F(CommandLine, LogFileNames) {
  struct Row {
    std::vector<std::u16string> arguments;
    std::u16string log;
    LONG flags;
  } rows[] = {
      {{u"/l"}, kDesktop + u"Orvandel20.log", 0},
      {{u"/l", u"C:\\Logs"}, u"C:\\Logs\\Orvandel20.log", 0},
      {{u"/l", u"C:\\Logs\\setup.txt"}, u"C:\\Logs\\setup.txt", 0},
      {{u"/l", u"D:setup.txt"}, u"D:setup.txt", 0},  // a drive makes it a path
      {{u"/l", u"setup"}, kDesktop + u"setup.log", 0},
      {{u"/l", u"setup.txt"}, kDesktop + u"setup.txt", 0},
      {{u"/l", u"*"}, kDesktop + u"Orvandel20.log", 0},
      {{u"/l", u"*.txt"}, kDesktop + u"Orvandel20.txt", 0},
      {{u"/l", u".txt"}, kDesktop + u"Orvandel20.txt", 0},
      {{u"/l", u"/a"}, kDesktop + u"Orvandel20.log", SETUP_FLAG_ADMIN},  // /a stays an option
      {{u"/l", u"-a"}, kDesktop + u"Orvandel20.log", SETUP_FLAG_ADMIN},
      // Options apply from left to right: /l names the log after the package
      // file name as the options to its left have left it.
      {{u"/l", u"/s", u"C:\\pkgs\\Other.msi"}, kDesktop + u"Orvandel20.log", 0},
      {{u"/s", u"C:\\pkgs\\Other.msi", u"/l"}, kDesktop + u"Other.log", 0},
      {{u"/l", u"first", u"/l", u"second.txt"}, kDesktop + u"second.txt", 0},
  };
  for (const Row &row : rows) {
    Parsed parsed = Parse(row.arguments);
    EXPECT_EQ(Utf8(parsed.log), Utf8(row.log)) << Describe(row.arguments);
    EXPECT_EQ(parsed.flags, row.flags) << Describe(row.arguments);
    EXPECT_EQ(parsed.error, static_cast<DWORD>(ERROR_SUCCESS)) << Describe(row.arguments);
  }
}

// A product class may accept arguments of its own.
class CAcceptingRun : public COrvandelSetupRun {
 public:
  bool ParseOtherArgument(int nIndex, LONG &nFlags) override {
    m_nOther = nIndex;
    return false;
  }
  int m_nOther = 0;
};

TEST_F(CommandLine, DerivedClassAcceptsOtherArguments) {
  SetArguments({u"/a", u"extra", u"/d", u"C:\\dl"});
  CAcceptingRun run;
  LONG flags = run.ParseCommandLine();
  EXPECT_EQ(flags, SETUP_FLAG_ADMIN | SETUP_FLAG_KEEP_PACKAGE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_EQ(run.m_nOther, 2);
}

}  // namespace
