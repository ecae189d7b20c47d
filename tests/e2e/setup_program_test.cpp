// The setup program as a user starts it: what it shows, what it writes and
// how it ends.
#include <windows.h>

#include "TestEnvironment.h"
#include "Transcript.h"
#include "hw/paths.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

const char kUsageText[] =
    "Usage:\n"
    "  /?  Show this dialog\n"
    "  /a  Perform an administrative install.\n"
    "  /d  <path> Download to the specified folder.\n"
    "  /l  [[<path>]filename|*[.ext]] Log installation to path/filename.";

class SetupProgram : public testing::Test {
 protected:
  void SetUp() override {
    m_temp = hw::ToHostPath(u"C:\\users\\tester\\Temp").path;  // creates the prefix
    m_desktop = hw::ToHostPath(u"C:\\users\\tester\\Desktop").path;
  }

  int Run(const std::vector<std::string> &arguments) {
    std::vector<std::string> argv{testenv::BinaryDir() + "/setup"};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return testenv::RunProgram(argv);
  }

  std::vector<testenv::TranscriptEntry> Boxes() const {
    return testenv::EntriesOfKind(testenv::ReadTranscript(), "messagebox");
  }

  bool NothingWritten() const {
    return std::filesystem::is_empty(m_temp) && std::filesystem::is_empty(m_desktop);
  }

  std::string m_temp, m_desktop;
};

TEST_F(SetupProgram, UsageMessage) {
  EXPECT_EQ(Run({"/?"}), 0);
  std::vector<testenv::TranscriptEntry> boxes = Boxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].Get("title"), "Setup Orvandel 2.0");
  EXPECT_EQ(boxes[0].Get("text"), kUsageText);
  EXPECT_EQ(boxes[0].Number("style"), MB_OK | MB_ICONINFORMATION);
  EXPECT_TRUE(NothingWritten());
}

TEST_F(SetupProgram, BadArgumentsShowUsageOnly) {
  for (const char *argument : {"readme", "/x", "-D"}) {
    EXPECT_EQ(Run({argument}), 0) << argument;
  }
  std::vector<testenv::TranscriptEntry> boxes = Boxes();
  ASSERT_EQ(boxes.size(), 3u);
  for (const auto &box : boxes) {
    EXPECT_EQ(box.Get("text"), kUsageText);  // no error box
    EXPECT_EQ(box.Number("style"), MB_OK | MB_ICONINFORMATION);
  }
  EXPECT_TRUE(NothingWritten());
}

TEST_F(SetupProgram, AnotherSetupRunning) {
  testenv::BackgroundProgram other({testenv::BinaryDir() + "/conformance_kernel32_helper", "hold-mutex",
                                    "Global\\_MSISETUP_{2956EBA1-9B5A-4679-8618-357136DA66CA}"});
  ASSERT_EQ(other.ReadLine(), "ready 0");
  EXPECT_EQ(Run({"/a", "/l"}), 0);
  std::vector<testenv::TranscriptEntry> boxes = Boxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].Get("title"), "Setup Orvandel 2.0");
  EXPECT_EQ(boxes[0].Get("text"),
            "Another installation is already in progress.  Complete that installation before proceeding with this "
            "install.\r\n");
  EXPECT_EQ(boxes[0].Number("style"), MB_OK | MB_ICONERROR);
  EXPECT_TRUE(NothingWritten());
}

}  // namespace
