// The built download package read through hostwin's database layer: every
// table's row count, every row that drives behaviour field by field, the
// summary information, and the streams of the Binary table.
#include <windows.h>
#include <msiquery.h>
#include <wtypes.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "MsiTestSupport.h"
#include "PackageSupport.h"
#include "TestEnvironment.h"

namespace {

using Rows = std::vector<std::vector<std::string>>;
using msitest::Handle;
const std::string kNull = "<null>";
const std::string kSuffix = ".AC41D5C3_EABA_4DCA_AC73_380E60977893";

class Package : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(testenv::FileExists(package::Path())) << package::Path();
    m_db = msitest::OpenDb(package::Path(), MSIDBOPEN_READONLY);
    ASSERT_NE(m_db, 0u);
  }
  void TearDown() override { MsiCloseHandle(m_db); }

  // The rows of a query in key order, so that row order in the file does not matter.
  Rows Select(const std::string &sql) {
    Rows rows = msitest::Query(m_db, sql);
    std::sort(rows.begin(), rows.end());
    return rows;
  }
  static Rows Sorted(Rows rows) {
    std::sort(rows.begin(), rows.end());
    return rows;
  }

  MSIHANDLE m_db = 0;
};

TEST_F(Package, DeclaresTheStandardSchemaWithTheseRowCounts) {
  const std::map<std::string, size_t> filled = {
      {"Property", 39},     {"CustomAction", 18}, {"InstallUISequence", 9}, {"InstallExecuteSequence", 23},
      {"AppSearch", 6},     {"RegLocator", 2},    {"DrLocator", 4},         {"Signature", 4},
      {"Component", 1},     {"Directory", 1},     {"Binary", 9},            {"Dialog", 5},
      {"Control", 40},      {"ControlEvent", 14}, {"EventMapping", 3},      {"TextStyle", 3},
      {"UIText", 3},        {"ActionText", 36},   {"Error", 166},           {"_Validation", 366}};
  const std::vector<std::string> empty = {
      "AppId", "BBControl", "Billboard", "BindImage", "CCPSearch", "CheckBox", "Class", "ComboBox",
      "CompLocator", "Complus", "Condition", "ControlCondition", "CreateFolder", "DuplicateFile",
      "Environment", "Extension", "Feature", "FeatureComponents", "File", "Font", "Icon", "IniFile",
      "IniLocator", "IsolatedComponent", "LaunchCondition", "ListBox", "ListView", "LockPermissions", "Media",
      "MoveFile", "Patch", "PatchPackage", "ProgId", "PublishComponent", "RadioButton", "Registry",
      "RemoveFile", "RemoveIniFile", "RemoveRegistry", "ReserveCost", "SelfReg", "ServiceControl",
      "ServiceInstall", "Shortcut", "TypeLib", "Upgrade", "Verb"};
  std::vector<std::string> expected;
  for (const auto &[table, count] : filled) expected.push_back(table);
  expected.insert(expected.end(), empty.begin(), empty.end());
  std::sort(expected.begin(), expected.end());
  ASSERT_EQ(expected.size(), 67u);
  EXPECT_EQ(msitest::HostTables(m_db), expected);

  for (const std::string &table : expected) {
    const auto it = filled.find(table);
    const size_t count = it == filled.end() ? 0 : it->second;
    EXPECT_EQ(msitest::Query(m_db, "SELECT * FROM `" + table + "`").size(), count) << table;
  }
}

TEST_F(Package, AuthoringColumnsExtendBinaryAndComponent) {
  EXPECT_EQ(Select("SELECT `Name`, `Number`, `Type` FROM `_Columns` WHERE `Table` = 'Binary'").size(), 3u);
  Rows columns = msitest::Query(m_db, "SELECT `Name` FROM `_Columns` WHERE `Table` = 'Component' AND `Number` = 7");
  ASSERT_EQ(columns.size(), 1u);
  EXPECT_EQ(columns[0][0], "ExDescription");
  columns = msitest::Query(m_db, "SELECT `Name` FROM `_Columns` WHERE `Table` = 'Binary' AND `Number` = 3");
  ASSERT_EQ(columns.size(), 1u);
  EXPECT_EQ(columns[0][0], "ExSource");
}

TEST_F(Package, PropertyTable) {
  const Rows expected = {
      {"ProductCode", "{1F38EB1C-9791-460E-8445-55124ECD8614}"},
      {"ProductVersion", "1.0.0.0"},
      {"ProductLanguage", "4105"},
      {"ProductName", " "},
      {"Manufacturer", " "},
      {"ALLUSERS", "0"},
      {"INSTALLLEVEL", "3"},
      {"ARPNOMODIFY", "1"},
      {"ARPNOREPAIR", "1"},
      {"DISABLEMEDIA", "1"},
      {"NOUSERNAME", "1"},
      {"NOCOMPANYNAME", "1"},
      {"PROMPTROLLBACKCOST", "F"},
      {"MSIFASTINSTALL", "1"},
      {"MSIRESTARTMANAGERCONTROL", "Disable"},
      {"MSIRMSHUTDOWN", "1"},
      {"SecureCustomProperties",
       "DOWNLOADPATH;DOWNLOADFILE;DOWNLOADTARGET;DOWNLOADFILE_1;DOWNLOADFILE_2;DOWNLOADFILE_3;DOWNLOADFILE_4"},
      {"DOWNLOADPATH", "http://download.pellomar.com/orvandel/2.0/"},
      {"ErrorDialog", "ErrorDlg"},
      {"DefaultUIFont", "DlgFont8"},
      {"DlgTitleFont", "{&DlgFontBold8}"},
      {"Wizard", "Setup Wizard"},
      {"Setup", "Setup"},
      {"Progress1", "Downloading"},
      {"Progress2", "downloads"},
      {"InstallMode", "Typical"},
      {"ExclamationIcon", "ExclamationIcon"},
      {"InfoIcon", "InfoIcon"},
      {"ButtonText_Back", "< &Back"},
      {"ButtonText_Cancel", "Cancel"},
      {"ButtonText_Exit", "&Exit"},
      {"ButtonText_Finish", "&Finish"},
      {"ButtonText_Ignore", "&Ignore"},
      {"ButtonText_Install", "&Install"},
      {"ButtonText_Next", "&Next >"},
      {"ButtonText_No", "&No"},
      {"ButtonText_OK", "OK"},
      {"ButtonText_Retry", "&Retry"},
      {"ButtonText_Yes", "&Yes"},
  };
  EXPECT_EQ(Select("SELECT `Property`, `Value` FROM `Property`"), Sorted(expected));
}

TEST_F(Package, CustomActionsWithTheirTypesSourcesAndTargets) {
  auto locate = [](int n) {
    const std::string k = std::to_string(n);
    return std::vector<std::vector<std::string>>{
        {"LocateData" + k, "51", "CustomActionData", "[ProductName];[DOWNLOADPATH][DOWNLOADFILE_" + k + "];;@@DOWNLOADFILE"},
        {"LocateFile" + k, "65", "Download2", "_Locate@4"}};
  };
  Rows expected = {
      {"SetProductName", "51", "ProductName", "[DOWNLOADNAME]"},
      {"DownloadData", "51", "CustomActionData", "[ProductName];[DOWNLOADPATH][DOWNLOADFILE];;@DOWNLOADTARGET;100;100"},
      {"DownloadTarget", "51", "CustomActionData", "[ProductName];[DOWNLOADPATH][DOWNLOADFILE];[DOWNLOADTARGET];;100;100"},
      {"Download", "1", "Download2", "_Download@4"},
      {"VerifySignatureData", "51", "VerifySignature", "[DOWNLOADTARGET]|VerifiedSubject|VerifiedIssuer"},
      {"VerifySignature", "1", "Download2", "_VerifySignature@4"},
      {"DownloadCancelData", "51", "CustomActionData", "[ProductName]"},
      {"DownloadCancel", "65", "Download2", "_Cancel@4"},
      {"RegisterJScript_x86" + kSuffix, "3314", "REGSVR_X86", "-s [JSCRIPT_DLL_X86]"},
      {"RegisterJScript_x64" + kSuffix, "3314", "REGSVR_X64", "-s [JSCRIPT_DLL_X64]"},
  };
  for (int n = 1; n <= 4; ++n) {
    for (auto &row : locate(n)) expected.push_back(row);
  }
  EXPECT_EQ(Select("SELECT `Action`, `Type`, `Source`, `Target` FROM `CustomAction`"), Sorted(expected));
}

TEST_F(Package, UserInterfaceSequence) {
  const Rows expected = {
      {"FatalError", kNull, "-3"},       {"UserExit", kNull, "-2"},
      {"SetProductName", "DOWNLOADNAME<>\"\"", "100"}, {"AppSearch", "REMOVE<>\"ALL\"", "400"},
      {"CostInitialize", kNull, "800"},  {"FileCost", kNull, "900"},
      {"CostFinalize", kNull, "1000"},   {"ProgressDlg", kNull, "1200"},
      {"ExecuteAction", kNull, "1300"},
  };
  EXPECT_EQ(Select("SELECT `Action`, `Condition`, `Sequence` FROM `InstallUISequence`"), Sorted(expected));
  EXPECT_TRUE(msitest::Query(m_db, "SELECT `Action` FROM `InstallUISequence` WHERE `Sequence` = -1").empty())
      << "a successful run ends without a closing dialog";
}

TEST_F(Package, ExecuteSequence) {
  auto candidate = [](int n) {
    return "(DOWNLOADFILE_" + std::to_string(n) + "<>\"\") AND (DOWNLOADFILE=\"\")";
  };
  Rows expected = {
      {"SetProductName", "DOWNLOADNAME<>\"\"", "100"},
      {"AppSearch", "REMOVE<>\"ALL\"", "400"},
      {"CostInitialize", kNull, "800"},
      {"FileCost", kNull, "900"},
      {"CostFinalize", kNull, "1000"},
      {"InstallValidate", kNull, "1400"},
      {"InstallInitialize", kNull, "1500"},
      {"RegisterJScript_x86" + kSuffix,
       "(VersionNT>=600) AND (NOT JSCRIPT_CLASS_X86) AND (JSCRIPT_DLL_X86<>\"\") AND (REGSVR_X86<>\"\")", "1501"},
      {"RegisterJScript_x64" + kSuffix,
       "(VersionNT64>=600) AND (NOT JSCRIPT_CLASS_X64) AND (JSCRIPT_DLL_X64<>\"\") AND (REGSVR_X64<>\"\")", "1502"},
      {"DownloadData", "DOWNLOADTARGET=\"\"", "1600"},
      {"DownloadTarget", "DOWNLOADTARGET<>\"\"", "1610"},
      {"Download", "DOWNLOADFILE<>\"\"", "1620"},
      {"VerifySignatureData", "DOWNLOADTARGET<>\"\"", "1630"},
      {"VerifySignature", "DOWNLOADTARGET<>\"\"", "1640"},
      {"InstallFinalize", kNull, "6600"},
  };
  for (int n = 1; n <= 4; ++n) {
    expected.push_back({"LocateData" + std::to_string(n), candidate(n), std::to_string(1490 + 20 * n)});
    expected.push_back({"LocateFile" + std::to_string(n), candidate(n), std::to_string(1500 + 20 * n)});
  }
  EXPECT_EQ(Select("SELECT `Action`, `Condition`, `Sequence` FROM `InstallExecuteSequence`"), Sorted(expected));
  for (const char *action : {"RegisterProduct", "PublishProduct", "PublishFeatures", "ProcessComponents", "InstallFiles"}) {
    EXPECT_TRUE(msitest::Query(m_db, std::string("SELECT `Sequence` FROM `InstallExecuteSequence` WHERE `Action` = '") +
                                         action + "'")
                    .empty())
        << action;
  }
}

TEST_F(Package, SearchesForTheScriptEngine) {
  EXPECT_EQ(Select("SELECT `Property`, `Signature_` FROM `AppSearch`"),
            Sorted({{"JSCRIPT_CLASS_X86", "JScript_Class_x86" + kSuffix},
                    {"JSCRIPT_CLASS_X64", "JScript_Class_x64" + kSuffix},
                    {"JSCRIPT_DLL_X86", "JScript_Dll_x86" + kSuffix},
                    {"JSCRIPT_DLL_X64", "JScript_Dll_x64" + kSuffix},
                    {"REGSVR_X86", "RegSvr_x86" + kSuffix},
                    {"REGSVR_X64", "RegSvr_x64" + kSuffix}}));
  const std::string key = "Software\\Classes\\CLSID\\{F414C260-6AC0-11CF-B6D1-00AA00BBBB58}\\InprocServer32";
  EXPECT_EQ(Select("SELECT `Signature_`, `Root`, `Key`, `Name`, `Type` FROM `RegLocator`"),
            Sorted({{"JScript_Class_x86" + kSuffix, "2", key, kNull, "1"},
                    {"JScript_Class_x64" + kSuffix, "2", key, kNull, "17"}}));
  EXPECT_EQ(Select("SELECT `Signature_`, `Parent`, `Path`, `Depth` FROM `DrLocator`"),
            Sorted({{"JScript_Dll_x86" + kSuffix, kNull, "[SystemFolder]", "0"},
                    {"JScript_Dll_x64" + kSuffix, kNull, "[System64Folder]", "0"},
                    {"RegSvr_x86" + kSuffix, kNull, "[SystemFolder]", "0"},
                    {"RegSvr_x64" + kSuffix, kNull, "[System64Folder]", "0"}}));
  auto signature = [&](const std::string &name, const std::string &file) {
    return std::vector<std::string>{name + kSuffix, file, "5.0.0.0", kNull, kNull, kNull, kNull, kNull, "0"};
  };
  EXPECT_EQ(Select("SELECT `Signature`, `FileName`, `MinVersion`, `MaxVersion`, `MinSize`, `MaxSize`, `MinDate`, "
                   "`MaxDate`, `Languages` FROM `Signature`"),
            Sorted({signature("JScript_Dll_x86", "jscript.dll"), signature("JScript_Dll_x64", "jscript.dll"),
                    signature("RegSvr_x86", "regsvr32.exe"), signature("RegSvr_x64", "regsvr32.exe")}));
}

TEST_F(Package, OneEmptyComponentInTheRootDirectory) {
  EXPECT_EQ(Select("SELECT * FROM `Component`"),
            Rows({{"_Empty", kNull, "TARGETDIR", "0", kNull, kNull, kNull}}));
  EXPECT_EQ(Select("SELECT * FROM `Directory`"), Rows({{"TARGETDIR", kNull, "SourceDir"}}));
}

TEST_F(Package, Dialogs) {
  const std::string title = "[ProductName] [Setup]";
  EXPECT_EQ(Select("SELECT * FROM `Dialog`"),
            Sorted({{"ProgressDlg", "50", "50", "370", "270", "1", title, "BannerBitmap", "Cancel", "Cancel"},
                    {"UserExit", "50", "50", "370", "270", "3", title, "Finish", "Finish", "Finish"},
                    {"FatalError", "50", "50", "370", "270", "3", title, "Finish", "Finish", "Finish"},
                    {"CancelDlg", "50", "10", "260", "85", "3", title, "No", "No", "No"},
                    {"ErrorDlg", "50", "10", "270", "105", "65539", "Installer Information", "ErrorText", kNull,
                     kNull}}));
}

TEST_F(Package, Controls) {
  Rows expected = {
      {"ProgressDlg", "BannerBitmap", "Bitmap", "0", "0", "370", "44", "1", kNull, "BannerBitmap", "LogoBitmap", kNull},
      {"ProgressDlg", "LogoBitmap", "Bitmap", "326", "0", "44", "44", "1048577", kNull, "LogoBitmap", "BottomBitmap", kNull},
      {"ProgressDlg", "BannerLine", "Bitmap", "0", "44", "370", "1", "1", kNull, "TopLine", "BottomLine", kNull},
      {"ProgressDlg", "Title", "Text", "10", "7", "300", "34", "196611", kNull,
       "{\\VerdanaBold13}[Progress1] [ProductName]", "ActionText", kNull},
      {"ProgressDlg", "Text", "Text", "35", "65", "300", "20", "3", kNull,
       "Please wait while the [Wizard] [Progress2] [ProductName].", "BannerBitmap", kNull},
      {"ProgressDlg", "StatusLabel", "Text", "35", "90", "35", "10", "3", kNull, "Status:", "ProgressBar", kNull},
      {"ProgressDlg", "ActionText", "Text", "70", "90", "265", "20", "65539", kNull, kNull, "Text", kNull},
      {"ProgressDlg", "ProgressBar", "ProgressBar", "35", "115", "300", "10", "65537", kNull, "Progress done", "Title", kNull},
      {"ProgressDlg", "BottomLine", "Bitmap", "0", "234", "370", "1", "1", kNull, "BottomLine", "Cancel", kNull},
      {"ProgressDlg", "BottomBitmap", "Bitmap", "0", "235", "370", "35", "1", kNull, "BottomBitmap", "BannerLine", kNull},
      {"ProgressDlg", "Cancel", "PushButton", "304", "243", "56", "17", "3", kNull, "[ButtonText_Cancel]", "StatusLabel", kNull},
      {"CancelDlg", "Icon", "Icon", "15", "15", "24", "24", "5242881", kNull, "[InfoIcon]", kNull, "Information icon|"},
      {"CancelDlg", "Text", "Text", "48", "15", "194", "30", "3", kNull,
       "Are you sure you want to cancel [ProductName] installation?", kNull, kNull},
      {"CancelDlg", "Yes", "PushButton", "72", "57", "56", "17", "3", kNull, "[ButtonText_Yes]", "No", kNull},
      {"CancelDlg", "No", "PushButton", "132", "57", "56", "17", "3", kNull, "[ButtonText_No]", "Yes", kNull},
      {"ErrorDlg", "ErrorIcon", "Icon", "15", "15", "24", "24", "5242881", kNull, "[InfoIcon]", kNull, "Information icon|"},
      {"ErrorDlg", "ErrorText", "Text", "48", "15", "205", "60", "3", kNull, "Information text", kNull, kNull},
  };
  const std::map<std::string, std::string> buttons = {{"A", "Cancel"}, {"C", "Cancel"}, {"I", "Ignore"}, {"N", "No"},
                                                      {"O", "OK"},     {"R", "Retry"},  {"Y", "Yes"}};
  for (const auto &[name, caption] : buttons) {
    expected.push_back({"ErrorDlg", name, "PushButton", "100", "80", "56", "17", "3", kNull,
                        "[ButtonText_" + caption + "]", kNull, kNull});
  }
  const std::map<std::string, std::pair<std::string, std::string>> closing = {
      {"UserExit",
       {"{\\VerdanaBold13}[ProductName] [Wizard] was interrupted",
        "[ProductName] setup was interrupted.  Your system has not been modified.  To install this program at a "
        "later time, please run the installation again."}},
      {"FatalError",
       {"{\\VerdanaBold13}[ProductName] [Wizard] ended prematurely",
        "[ProductName] setup ended prematurely because of an error.  Your system has not been modified.  To install "
        "this program at a later time, please run the installation again."}}};
  for (const auto &[dialog, texts] : closing) {
    const Rows rows = {
        {dialog, "Bitmap", "Bitmap", "0", "0", "370", "234", "1", kNull, "DialogBitmap", "Back", kNull},
        {dialog, "BottomLine", "Line", "0", "234", "374", "0", "1", kNull, kNull, kNull, kNull},
        {dialog, "Title", "Text", "135", "20", "220", "60", "196611", kNull, texts.first, kNull, kNull},
        {dialog, "Description1", "Text", "135", "70", "220", "40", "196611", kNull, texts.second, kNull, kNull},
        {dialog, "Description2", "Text", "135", "115", "220", "20", "196611", kNull,
         "Click the Finish button to exit the [Wizard].", kNull, kNull},
        {dialog, "Back", "PushButton", "180", "243", "56", "17", "1", kNull, "[ButtonText_Back]", "Finish", kNull},
        {dialog, "Finish", "PushButton", "236", "243", "56", "17", "3", kNull, "[ButtonText_Finish]", "Cancel", kNull},
        {dialog, "Cancel", "PushButton", "304", "243", "56", "17", "1", kNull, "[ButtonText_Cancel]", "Bitmap", kNull},
    };
    expected.insert(expected.end(), rows.begin(), rows.end());
  }
  ASSERT_EQ(expected.size(), 40u);
  EXPECT_EQ(Select("SELECT `Dialog_`, `Control`, `Type`, `X`, `Y`, `Width`, `Height`, `Attributes`, `Property`, "
                   "`Text`, `Control_Next`, `Help` FROM `Control`"),
            Sorted(expected));
}

TEST_F(Package, TabOrdersCloseIntoCycles) {
  // Following Control_Next from a dialog's first control comes back to it
  // through the listed controls.
  const std::map<std::string, std::vector<std::string>> orders = {
      {"ProgressDlg", {"BannerBitmap", "LogoBitmap", "BottomBitmap", "BannerLine", "BottomLine", "Cancel",
                       "StatusLabel", "ProgressBar", "Title", "ActionText", "Text"}},
      {"UserExit", {"Finish", "Cancel", "Bitmap", "Back"}},
      {"FatalError", {"Finish", "Cancel", "Bitmap", "Back"}},
      {"CancelDlg", {"No", "Yes"}}};
  for (const auto &[dialog, order] : orders) {
    std::map<std::string, std::string> next;
    for (const auto &row :
         msitest::Query(m_db, "SELECT `Control`, `Control_Next` FROM `Control` WHERE `Dialog_` = '" + dialog + "'")) {
      next[row[0]] = row[1];
    }
    for (size_t i = 0; i < order.size(); ++i) {
      EXPECT_EQ(next[order[i]], order[(i + 1) % order.size()]) << dialog << " after " << order[i];
    }
  }
}

TEST_F(Package, ControlEventsAndSubscriptions) {
  Rows expected = {
      {"ProgressDlg", "Cancel", "SpawnDialog", "CancelDlg", "1", kNull},
      {"CancelDlg", "Yes", "DoAction", "DownloadCancelData", "1", "1"},
      {"CancelDlg", "Yes", "DoAction", "DownloadCancel", "1", "2"},
      {"CancelDlg", "Yes", "EndDialog", "Exit", "1", "3"},
      {"CancelDlg", "No", "EndDialog", "Return", "1", kNull},
      {"UserExit", "Finish", "EndDialog", "Exit", "1", kNull},
      {"FatalError", "Finish", "EndDialog", "Exit", "1", kNull},
  };
  for (const auto &[button, answer] : std::map<std::string, std::string>{{"A", "ErrorAbort"}, {"C", "ErrorCancel"},
                                                                         {"I", "ErrorIgnore"}, {"N", "ErrorNo"},
                                                                         {"O", "ErrorOk"},     {"R", "ErrorRetry"},
                                                                         {"Y", "ErrorYes"}}) {
    expected.push_back({"ErrorDlg", button, "EndDialog", answer, "1", kNull});
  }
  EXPECT_EQ(Select("SELECT `Dialog_`, `Control_`, `Event`, `Argument`, `Condition`, `Ordering` FROM `ControlEvent`"),
            Sorted(expected));
  EXPECT_EQ(Select("SELECT * FROM `EventMapping`"),
            Sorted({{"ProgressDlg", "ActionText", "ActionText", "Text"},
                    {"ProgressDlg", "ActionText", "ActionData", "Text"},
                    {"ProgressDlg", "ProgressBar", "SetProgress", "Progress"}}));
}

TEST_F(Package, TextStylesAndUserInterfaceTexts) {
  EXPECT_EQ(Select("SELECT * FROM `TextStyle`"), Sorted({{"VerdanaBold13", "Verdana", "13", kNull, "1"},
                                                          {"DlgFontBold8", "Tahoma", "8", kNull, "1"},
                                                          {"DlgFont8", "Tahoma", "8", kNull, "0"}}));
  EXPECT_EQ(Select("SELECT * FROM `UIText`"),
            Sorted({{"TimeRemaining", "Time remaining: {[1] minutes }{[2] seconds}"},
                    {"ScriptInProgress", "Gathering required information..."},
                    {"Progress", "[1] [2] [3]"}}));
}

TEST_F(Package, ErrorTableFramesEveryMessage) {
  const Rows numbers = msitest::Query(m_db, "SELECT `Error` FROM `Error` ORDER BY `Error`");
  std::vector<int> expected;
  auto range = [&](int first, int last) {
    for (int n = first; n <= last; ++n) expected.push_back(n);
  };
  range(0, 23);
  range(32, 33);
  range(1101, 1101);
  range(1301, 1336);
  range(1401, 1410);
  range(1500, 1503);
  range(1601, 1611);
  range(1701, 1733);
  range(1801, 1807);
  range(1901, 1938);
  ASSERT_EQ(numbers.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(numbers[i][0], std::to_string(expected[i]));

  const std::map<int, std::string> framing = {
      {0, "{{Fatal error: }}"},
      {1, "{{Error [1]. }}"},
      {2, "Warning [1]. "},
      {3, kNull},
      {4, "Info [1]. "},
      {5, "The installer has encountered an unexpected error installing this package. This may indicate a problem "
          "with this package. The error code is [1]. {{The arguments are: [2], [3], [4]}}"},
      {6, kNull},
      {7, "{{Disk full: }}"},
      {8, "Action [Time]: [1]. [2]"},
      {9, "[ProductName]"},
      {10, "{[2]}{, [3]}{, [4]}"},
      {11, "Message type: [1], Argument: [2]{, [3]}"},
      {12, "=== Logging started: [Date]  [Time] ==="},
      {13, "=== Logging stopped: [Date]  [Time] ==="},
      {14, "Action start [Time]: [1]."},
      {15, "Action ended [Time]: [1]. Return value [2]."},
      {16, "Time remaining: {[1] minutes }{[2] seconds}"},
      {17, "Out of memory. Shut down other applications before retrying."},
      {18, "Installer is no longer responding."},
      {19, "Installer stopped prematurely."},
      {20, "Please wait while Windows configures [ProductName]"},
      {21, "Gathering required information..."},
      {22, "Removing older versions of this application..."},
      {23, "Preparing to remove older versions of this application..."},
      {32, "{[ProductName] }Setup completed successfully."},
      {33, "{[ProductName] }Setup failed."},
      {1602, "Are you sure you want to cancel?"},
      {1707, "Installation completed successfully."},
      {1708, "Installation failed."},
      {1709, "Product: [2] -- [3]"},
      {1723, "There is a problem with this Windows Installer package. A DLL required for this install to complete "
             "could not be run. Contact your support personnel or package vendor.  {{Action [2], entry: [3], "
             "library: [4] }}"},
  };
  for (const auto &[number, message] : framing) {
    const Rows rows = msitest::Query(m_db, "SELECT `Message` FROM `Error` WHERE `Error` = " + std::to_string(number));
    ASSERT_EQ(rows.size(), 1u) << number;
    EXPECT_EQ(rows[0][0], message) << number;
  }
  // Every other message is a text.
  EXPECT_EQ(Select("SELECT `Error` FROM `Error` WHERE `Message` IS NULL"), Rows({{"3"}, {"6"}}));
}

TEST_F(Package, ActionTextsOfTheStandardActions) {
  const Rows rows = Select("SELECT `Action`, `Description`, `Template` FROM `ActionText`");
  ASSERT_EQ(rows.size(), 36u);
  const std::map<std::string, std::pair<std::string, std::string>> samples = {
      {"InstallFiles", {"Copying new files", "File: [1],  Directory: [9],  Size: [6]"}},
      {"PatchFiles", {"Patching files", "File: [1],  Directory: [2],  Size: [3]"}},
      {"CostFinalize", {"Computing space requirements", kNull}},
      {"GenerateScript", {"Generating script operations for action:", "[1]"}},
      {"WriteRegistryValues", {"Writing system registry values", "Key: [1], Name: [2], Value: [3]"}}};
  for (const auto &[action, texts] : samples) {
    auto it = std::find_if(rows.begin(), rows.end(), [&](const auto &row) { return row[0] == action; });
    ASSERT_NE(it, rows.end()) << action;
    EXPECT_EQ((*it)[1], texts.first) << action;
    EXPECT_EQ((*it)[2], texts.second) << action;
  }
  for (const char *ours : {"Download", "Locate", "Cancel", "VerifySignature"}) {
    EXPECT_TRUE(std::none_of(rows.begin(), rows.end(), [&](const auto &row) { return row[0] == ours; })) << ours;
  }
}

TEST_F(Package, ValidationCoversEveryColumn) {
  // One row per column of every declared table, none for a column that does
  // not exist, plus the five module and MIME tables of the schema.
  Rows declared = Select("SELECT `Table`, `Name` FROM `_Columns`");
  Rows validated = Select("SELECT `Table`, `Column` FROM `_Validation`");
  Rows undeclared;
  std::set_difference(validated.begin(), validated.end(), declared.begin(), declared.end(),
                      std::back_inserter(undeclared));
  Rows unvalidated;
  std::set_difference(declared.begin(), declared.end(), validated.begin(), validated.end(),
                      std::back_inserter(unvalidated));
  EXPECT_TRUE(unvalidated.empty()) << unvalidated.size() << " columns without validation, first "
                                   << (unvalidated.empty() ? "" : unvalidated[0][0] + "." + unvalidated[0][1]);
  std::vector<std::string> extraTables;
  for (const auto &row : undeclared) {
    if (extraTables.empty() || extraTables.back() != row[0]) extraTables.push_back(row[0]);
  }
  EXPECT_EQ(extraTables, (std::vector<std::string>{"MIME", "ModuleComponents", "ModuleDependency", "ModuleExclusion",
                                                   "ModuleSignature"}));
  EXPECT_EQ(undeclared.size(), 20u);
  EXPECT_EQ(Select("SELECT `Nullable`, `Category`, `Description` FROM `_Validation` WHERE `Table` = 'Binary' AND "
                   "`Column` = 'ExSource'"),
            Rows({{"Y", "Text", "Source of the binary data."}}));
  EXPECT_EQ(Select("SELECT `Nullable`, `Category`, `Description` FROM `_Validation` WHERE `Table` = 'Component' AND "
                   "`Column` = 'ExDescription'"),
            Rows({{"Y", "Text", "Localized description of the component."}}));
}

TEST_F(Package, SummaryInformation) {
  Handle info;
  ASSERT_EQ(MsiGetSummaryInformationW(m_db, nullptr, 0, &info), static_cast<UINT>(ERROR_SUCCESS));
  UINT count = 0;
  ASSERT_EQ(MsiSummaryInfoGetPropertyCount(info, &count), static_cast<UINT>(ERROR_SUCCESS));
  EXPECT_EQ(count, 15u);

  struct Expected {
    UINT pid;
    UINT type;
    std::string text;
    INT number;
    ULONGLONG time;
  };
  const std::vector<Expected> expected = {
      {1, VT_I2, "", 1252, 0},
      {2, VT_LPSTR, "Installation Database", 0, 0},
      {3, VT_LPSTR, "Download", 0, 0},
      {4, VT_LPSTR, "", 0, 0},
      {5, VT_LPSTR, "Installer,MSI,Database", 0, 0},
      {6, VT_LPSTR, "", 0, 0},
      {7, VT_LPSTR, "Intel;0", 0, 0},
      {8, VT_LPSTR, "pellomar", 0, 0},
      {9, VT_LPSTR, "{AE3E50E8-4583-4EC7-8B26-23698D61DCBD}", 0, 0},
      {12, VT_FILETIME, "", 0, 127692540000000000ull},  // 2005-08-23 07:00:00 UTC
      {13, VT_FILETIME, "", 0, 129130315905180000ull},  // 2010-03-14 09:13:10.518 UTC
      {14, VT_I4, "", 200, 0},
      {15, VT_I4, "", 2, 0},
      {18, VT_LPSTR, "Installer Package Editor", 0, 0},
      {19, VT_I4, "", 0, 0},
  };
  for (const Expected &e : expected) {
    UINT type = 0;
    INT number = -1;
    FILETIME time = {};
    WCHAR text[128] = {};
    DWORD length = 128;
    ASSERT_EQ(MsiSummaryInfoGetPropertyW(info, e.pid, &type, &number, &time, text, &length),
              static_cast<UINT>(ERROR_SUCCESS))
        << e.pid;
    EXPECT_EQ(type, e.type) << e.pid;
    if (e.type == VT_LPSTR) {
      EXPECT_EQ(msitest::U8(std::u16string(text, length)), e.text) << e.pid;
    } else if (e.type == VT_I2 || e.type == VT_I4) {
      EXPECT_EQ(number, e.number) << e.pid;
    } else {
      EXPECT_EQ((static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime, e.time) << e.pid;
    }
  }
  for (UINT absent : {10u, 11u, 16u}) {
    UINT type = 99;
    MsiSummaryInfoGetPropertyW(info, absent, &type, nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(type, static_cast<UINT>(VT_EMPTY)) << absent;
  }
}

std::string Stream(MSIHANDLE db, const std::string &name) {
  const Rows check = msitest::Query(db, "SELECT `Name` FROM `Binary` WHERE `Name` = '" + name + "'");
  EXPECT_EQ(check.size(), 1u) << name;
  const std::u16string sql = msitest::W("SELECT `Data` FROM `Binary` WHERE `Name` = '" + name + "'");
  Handle view, record;
  EXPECT_EQ(MsiDatabaseOpenViewW(db, reinterpret_cast<LPCWSTR>(sql.c_str()), &view), static_cast<UINT>(ERROR_SUCCESS));
  EXPECT_EQ(MsiViewExecute(view, 0), static_cast<UINT>(ERROR_SUCCESS));
  if (MsiViewFetch(view, &record) != ERROR_SUCCESS) return "<no row>";
  std::string data;
  char chunk[4096];
  for (;;) {
    DWORD size = sizeof(chunk);
    if (MsiRecordReadStream(record, 1, chunk, &size) != ERROR_SUCCESS) return "<unreadable>";
    if (size == 0) break;
    data.append(chunk, size);
  }
  return data;
}

TEST_F(Package, BinaryRowsCarryTheLibraryAndTheImages) {
  const std::string library = testenv::ReadFile(package::LibraryPath());
  ASSERT_FALSE(library.empty());
  EXPECT_TRUE(Stream(m_db, "Download2") == library) << "Download2 is not this build's " << package::LibraryPath();
  const std::map<std::string, std::string> images = {
      {"BannerBitmap", "Banner.rle"},  {"BottomBitmap", "Bottom.rle"}, {"BottomLine", "BottomLine.rle"},
      {"DialogBitmap", "Dialog.rle"},  {"LogoBitmap", "Logo.rle"},     {"TopLine", "TopLine.rle"},
      {"ExclamationIcon", "Exclamation.ico"}, {"InfoIcon", "Info.ico"}};
  for (const auto &[name, file] : images) {
    EXPECT_TRUE(Stream(m_db, name) == testenv::ReadFile(package::ImagesDir() + "/" + file)) << name;
  }
  const Rows sources = Select("SELECT `Name`, `ExSource` FROM `Binary`");
  for (const auto &row : sources) {
    if (row[0] == "Download2") {
      EXPECT_NE(row[1].find("MsiDownload2"), std::string::npos) << row[1];
    } else if (row[0] == "ExclamationIcon" || row[0] == "InfoIcon") {
      EXPECT_EQ(row[1], kNull) << row[0];
    } else {
      EXPECT_EQ(row[1], "..\\..\\Install\\Bitmaps\\" + images.at(row[0])) << row[0];
    }
  }
}

}  // namespace
