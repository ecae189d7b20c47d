// The first step of a run and the run order: usage, bad arguments, another
// setup running; and the application object's run order.
#include "SetupTestSupport.h"
#include "setup/OrvandelSetupRun.h"
#include "setup/SetupApp.h"

#include <gtest/gtest.h>

namespace {

using setuptest::Boxes;
using setuptest::SetArguments;

const char kUsageText[] =
    "Usage:\n"
    "  /?  Show this dialog\n"
    "  /a  Perform an administrative install.\n"
    "  /d  <path> Download to the specified folder.\n"
    "  /l  [[<path>]filename|*[.ext]] Log installation to path/filename.";

const long long kOkInformation = MB_OK | MB_ICONINFORMATION;
const long long kOkError = MB_OK | MB_ICONERROR;

TEST(Initialize, UsageAskedFor) {
  struct Row {
    std::vector<std::u16string> arguments;
    HRESULT result;
  } rows[] = {
      {{u"/?"}, S_OK},
      {{u"/a", u"/?"}, S_OK},
      {{u"/?", u"/a"}, static_cast<HRESULT>(0x800700A0)},
      {{u"readme"}, static_cast<HRESULT>(0x800700A0)},
      {{u"/d"}, static_cast<HRESULT>(0x800700A0)},
  };
  size_t shown = 0;
  for (const Row &row : rows) {
    SetArguments(row.arguments);
    COrvandelSetupRun run;
    EXPECT_EQ(run.Initialize(), row.result);
    EXPECT_EQ(run.m_nFlags, SETUP_FLAG_USAGE);
    std::vector<testenv::TranscriptEntry> boxes = Boxes();
    ASSERT_EQ(boxes.size(), ++shown) << "one usage box, no error box";
    EXPECT_EQ(boxes.back().Get("title"), "Setup Orvandel 2.0");
    EXPECT_EQ(boxes.back().Get("text"), kUsageText);
    EXPECT_EQ(boxes.back().Number("style"), kOkInformation);
  }
}

TEST(Initialize, NothingToComplainAbout) {
  SetArguments({u"/a", u"/l"});
  COrvandelSetupRun run;
  EXPECT_EQ(run.Initialize(), S_OK);
  EXPECT_EQ(run.m_strTitle, TEXT("Setup Orvandel 2.0"));
  EXPECT_EQ(run.m_nFlags, SETUP_FLAG_ADMIN);
  EXPECT_TRUE(Boxes().empty());
}

TEST(Initialize, AnotherSetupIsRunning) {
  setuptest::OtherSetup other;
  ASSERT_TRUE(other.ready());
  SetArguments({});
  COrvandelSetupRun run;
  EXPECT_EQ(run.Initialize(), static_cast<HRESULT>(0x80070652));
  std::vector<testenv::TranscriptEntry> boxes = Boxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].Get("title"), "Setup Orvandel 2.0");
  EXPECT_EQ(boxes[0].Get("text"),
            "Another installation is already in progress.  Complete that installation before proceeding with this "
            "install.\r\n");
  EXPECT_EQ(boxes[0].Number("style"), kOkError);
  // The usage message wins over the guard: /? never looks at other setups.
  SetArguments({u"/?"});
  COrvandelSetupRun usage;
  EXPECT_EQ(usage.Initialize(), S_OK);
  EXPECT_EQ(Boxes().back().Get("text"), kUsageText);
}

// Records the steps the run order calls.
std::vector<std::string> g_steps;

class CRecordingRun : public COrvandelSetupRun {
 public:
  ~CRecordingRun() override { g_steps.push_back("destroyed"); }
  HRESULT Initialize() override {
    g_steps.push_back("initialize");
    EXPECT_EQ(g_pCurrentSetupRun, this);
    m_nFlags = s_nFlags;
    return s_hrInitialize;
  }
  HRESULT RunDownloadPackage() override {
    g_steps.push_back("download");
    return s_hrDownload;
  }
  HRESULT InstallProductPackage() override {
    g_steps.push_back("install");
    return E_FAIL;
  }
  static LONG s_nFlags;
  static HRESULT s_hrInitialize, s_hrDownload;
};
LONG CRecordingRun::s_nFlags;
HRESULT CRecordingRun::s_hrInitialize, CRecordingRun::s_hrDownload;

}  // namespace

// The product's creation hook, replaced for this test program by one that
// records the steps.
CSetupRun *CreateRecordingRun() { return new CRecordingRun; }

namespace {

TEST(RunOrder, StepsRunInOrderWhileTheySucceed) {
  struct Row {
    LONG flags;
    HRESULT initialize, download;
    std::vector<std::string> steps;
  } rows[] = {
      {0, S_OK, S_OK, {"initialize", "download", "install", "destroyed"}},
      {SETUP_FLAG_ADMIN, S_OK, S_FALSE, {"initialize", "download", "install", "destroyed"}},
      {0, S_OK, static_cast<HRESULT>(0x80070642), {"initialize", "download", "destroyed"}},
      {0, static_cast<HRESULT>(0x80070652), S_OK, {"initialize", "destroyed"}},
      {SETUP_FLAG_USAGE, S_OK, S_OK, {"initialize", "destroyed"}},
      {SETUP_FLAG_USAGE | SETUP_FLAG_ADMIN, S_OK, S_OK, {"initialize", "download", "install", "destroyed"}},
  };
  for (const Row &row : rows) {
    g_steps.clear();
    CRecordingRun::s_nFlags = row.flags;
    CRecordingRun::s_hrInitialize = row.initialize;
    CRecordingRun::s_hrDownload = row.download;
    CSetupApp app;
    app.m_pfnCreateSetupRun = CreateRecordingRun;
    EXPECT_FALSE(app.InitInstance());  // no message loop: the program ends with 0
    EXPECT_EQ(g_steps, row.steps);
    EXPECT_EQ(g_pCurrentSetupRun, nullptr);
  }
}

TEST(RunOrder, TheProductsRunShowsUsage) {
  SetArguments({u"/?"});
  CSetupApp app;
  EXPECT_EQ(std::u16string(app.m_pszAppName), u"Setup");
  EXPECT_FALSE(app.InitInstance());
  EXPECT_EQ(g_pCurrentSetupRun, nullptr);
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0].Get("text"), kUsageText);
}

}  // namespace
