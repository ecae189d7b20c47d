// Round trips with the independent tools: what msibuild and wixl build reads
// through hostwin exactly as msiinfo reads it, and what hostwin writes reads
// back in msiinfo and msidump as hostwin wrote it.
#include <windows.h>
#include <msidefs.h>
#include <msiquery.h>
#include <wtypes.h>

#include "MsiTestSupport.h"
#include "TestEnvironment.h"
#include "hw/msi_database.h"

#include <gtest/gtest.h>

using namespace msitest;

namespace {

std::string Blob(size_t size, unsigned seed) {
  std::string data(size, '\0');
  for (size_t i = 0; i < size; ++i) data[i] = static_cast<char>((i * 131 + seed * 7 + (i >> 5)) & 0xFF);
  return data;
}

std::string StreamBytes(MSIHANDLE record, UINT field) {
  DWORD size = 0;
  EXPECT_EQ(MsiRecordReadStream(record, field, nullptr, &size), static_cast<UINT>(ERROR_SUCCESS));
  std::string data(size, '\0');
  EXPECT_EQ(MsiRecordReadStream(record, field, data.data(), &size), static_cast<UINT>(ERROR_SUCCESS));
  data.resize(size);
  return data;
}

std::string HostStream(MSIHANDLE db, const std::string &name) {
  Handle view, record;
  Handle params(MsiCreateRecord(1));
  MsiRecordSetStringW(params, 1, reinterpret_cast<LPCWSTR>(W(name).c_str()));
  EXPECT_EQ(MsiDatabaseOpenViewW(db, u"SELECT `Data` FROM `_Streams` WHERE `Name` = ?", &view),
            static_cast<UINT>(ERROR_SUCCESS));
  EXPECT_EQ(MsiViewExecute(view, params), static_cast<UINT>(ERROR_SUCCESS));
  if (MsiViewFetch(view, &record) != ERROR_SUCCESS) return "<missing>";
  return StreamBytes(record, 1);
}

std::string SummaryString(MSIHANDLE summary, UINT pid) {
  UINT type = 0;
  WCHAR buffer[512] = {};
  DWORD size = 512;
  EXPECT_EQ(MsiSummaryInfoGetPropertyW(summary, pid, &type, nullptr, nullptr, buffer, &size),
            static_cast<UINT>(ERROR_SUCCESS));
  EXPECT_EQ(type, static_cast<UINT>(VT_LPSTR)) << pid;
  return U8(std::u16string(buffer, size));
}

int SummaryInteger(MSIHANDLE summary, UINT pid) {
  UINT type = 0;
  INT value = 0;
  EXPECT_EQ(MsiSummaryInfoGetPropertyW(summary, pid, &type, &value, nullptr, nullptr, nullptr),
            static_cast<UINT>(ERROR_SUCCESS));
  return value;
}

// Every table hostwin sees is the table msiinfo sees, cell for cell.
void ExpectSameTables(const std::string &path) {
  Handle db(OpenDb(path, MSIDBOPEN_READONLY));
  const std::vector<std::string> tables = ToolTables(path);
  ASSERT_FALSE(tables.empty());
  EXPECT_EQ(HostTables(db), tables);
  for (const std::string &table : tables) {
    EXPECT_EQ(HostExport(db, W(table)), ToolExport(path, table)) << table;
  }
}

const char kSampleProperty[] =
    "Property\tValue\r\ns72\tl0\r\nProperty\tProperty\r\n"
    "ProductCode\t{11111111-2222-3333-4444-555555555555}\r\nProductName\tSample\r\nALPHA\tbeta\r\n";
const char kSampleBinary[] = "Name\tData\r\ns72\tv0\r\nBinary\tName\r\nSmall\tsmall.bin\r\nLarge\tlarge.bin\r\n";
const char kSampleTypes[] =
    "A\tB\tC\tD\tE\r\ni2\tI4\tS10\tL20\ts0\r\nTypes\tA\r\n"
    "1\t2\tx\ty\tz\r\n-5\t\t\t\tq\r\n32767\t-2147483647\tten chars!\tloc\tlonger text with spaces\r\n";
const char kSampleSummary[] =
    "PropertyId\tValue\r\ni2\tl255\r\n_SummaryInformation\tPropertyId\r\n"
    "2\tInstallation Database\r\n3\tSample subject\r\n4\tPellomar\r\n7\tIntel;1033\r\n"
    "9\t{AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE}\r\n14\t200\r\n15\t2\r\n";

std::string BuildSample() {
  return BuildWithMsibuild({{"Property.idt", kSampleProperty},
                            {"Binary.idt", kSampleBinary},
                            {"Types.idt", kSampleTypes},
                            {"_SummaryInformation.idt", kSampleSummary}},
                           {{"Binary/small.bin", Blob(100, 1)}, {"Binary/large.bin", Blob(70000, 2)}});
}

}  // namespace

TEST(MsiToolRoundTrip, ReadsEveryTableStreamAndSummaryPropertyOfAnMsibuildDatabase) {
  const std::string path = BuildSample();
  ExpectSameTables(path);

  Handle db(OpenDb(path, MSIDBOPEN_READONLY));
  EXPECT_EQ(Query(db, "SELECT * FROM `Types` WHERE `A` = -5"),
            (std::vector<std::vector<std::string>>{{"-5", "<null>", "<null>", "<null>", "q"}}));
  EXPECT_EQ(HostStream(db, "Binary.Small"), Blob(100, 1));
  EXPECT_EQ(HostStream(db, "Binary.Large"), Blob(70000, 2));
  Handle view, record;
  ASSERT_EQ(MsiDatabaseOpenViewW(db, u"SELECT `Data` FROM `Binary` WHERE `Name`='Large'", &view),
            static_cast<UINT>(ERROR_SUCCESS));
  ASSERT_EQ(MsiViewExecute(view, 0), static_cast<UINT>(ERROR_SUCCESS));
  ASSERT_EQ(MsiViewFetch(view, &record), static_cast<UINT>(ERROR_SUCCESS));
  EXPECT_EQ(StreamBytes(record, 1), Blob(70000, 2));

  Handle summary;
  ASSERT_EQ(MsiGetSummaryInformationW(db, nullptr, 0, &summary), static_cast<UINT>(ERROR_SUCCESS));
  EXPECT_EQ(SummaryString(summary, PID_TITLE), "Installation Database");
  EXPECT_EQ(SummaryString(summary, PID_SUBJECT), "Sample subject");
  EXPECT_EQ(SummaryString(summary, PID_AUTHOR), "Pellomar");
  EXPECT_EQ(SummaryString(summary, PID_TEMPLATE), "Intel;1033");
  EXPECT_EQ(SummaryString(summary, PID_REVNUMBER), "{AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE}");
  EXPECT_EQ(SummaryInteger(summary, PID_PAGECOUNT), 200);
  EXPECT_EQ(SummaryInteger(summary, PID_WORDCOUNT), 2);
}

TEST(MsiToolRoundTrip, ReadsEveryTableAndTheCabinetOfAWixlPackage) {
  const std::string dir = testenv::MakeTempDir("wixl");
  testenv::WriteFile(dir + "/readme.txt", Blob(5000, 3));
  testenv::WriteFile(dir + "/product.wxs", R"(<?xml version="1.0" encoding="utf-8"?>
<Wix xmlns="http://schemas.microsoft.com/wix/2006/wi">
  <Product Id="{0A1B2C3D-1111-2222-3333-444455556666}" Name="Orvandel Test" Language="1033" Version="2.0.6.110"
           Manufacturer="Pellomar" UpgradeCode="{9A1B2C3D-1111-2222-3333-444455556666}">
    <Package InstallerVersion="200" Compressed="yes" Comments="Test package"/>
    <Media Id="1" Cabinet="product.cab" EmbedCab="yes"/>
    <Property Id="CABSOURCE" Value="none"/>
    <Directory Id="TARGETDIR" Name="SourceDir">
      <Directory Id="ProgramFilesFolder">
        <Directory Id="INSTALLDIR" Name="Orvandel">
          <Component Id="Readme" Guid="{5A1B2C3D-1111-2222-3333-444455556666}">
            <File Id="ReadmeFile" Source="readme.txt" KeyPath="yes"/>
          </Component>
        </Directory>
      </Directory>
    </Directory>
    <Feature Id="Main" Level="1"><ComponentRef Id="Readme"/></Feature>
  </Product>
</Wix>
)");
  int status = 0;
  Shell("cd " + Quote(dir) + " && wixl -a x86 product.wxs -o product.msi 2>&1", &status);
  ASSERT_EQ(status, 0);
  const std::string path = dir + "/product.msi";
  ExpectSameTables(path);

  Handle db(OpenDb(path, MSIDBOPEN_READONLY));
  EXPECT_EQ(Query(db, "SELECT `Value` FROM `Property` WHERE `Property` = 'ProductCode'"),
            (std::vector<std::vector<std::string>>{{"{0A1B2C3D-1111-2222-3333-444455556666}"}}));
  const std::string cabinet = Shell("msiinfo extract " + Quote(path) + " product.cab");
  ASSERT_GT(cabinet.size(), 100u);
  EXPECT_EQ(HostStream(db, "product.cab"), cabinet);

  // The summary information as msiinfo reads it: "pid<TAB>value" lines.
  Handle summary;
  ASSERT_EQ(MsiGetSummaryInformationW(db, nullptr, 0, &summary), static_cast<UINT>(ERROR_SUCCESS));
  const std::string tool = ToolExport(path, "_SummaryInformation");
  EXPECT_NE(tool.find("9\t" + SummaryString(summary, PID_REVNUMBER) + "\r\n"), std::string::npos) << tool;
  EXPECT_NE(tool.find("7\t" + SummaryString(summary, PID_TEMPLATE) + "\r\n"), std::string::npos) << tool;
  EXPECT_NE(tool.find("6\t" + SummaryString(summary, PID_COMMENTS) + "\r\n"), std::string::npos) << tool;
  EXPECT_NE(tool.find("14\t" + std::to_string(SummaryInteger(summary, PID_PAGECOUNT)) + "\r\n"), std::string::npos);
  EXPECT_NE(tool.find("15\t" + std::to_string(SummaryInteger(summary, PID_WORDCOUNT)) + "\r\n"), std::string::npos);
}

TEST(MsiToolRoundTrip, DatabaseWrittenByHostwinReadsBackInMsiinfoAndMsidump) {
  const std::string dir = testenv::MakeTempDir("written");
  const std::string path = dir + "/new.msi";
  testenv::WriteFile(dir + "/payload.bin", Blob(9000, 4));
  {
    Handle db(OpenDb(path, MSIDBOPEN_CREATE));
    ASSERT_EQ(Exec(db, "CREATE TABLE `Property` (`Property` CHAR(72) NOT NULL, `Value` LONGCHAR NOT NULL "
                       "LOCALIZABLE PRIMARY KEY `Property`)"),
              static_cast<UINT>(ERROR_SUCCESS));
    ASSERT_EQ(Exec(db, "CREATE TABLE `Mixed` (`Id` SHORT NOT NULL, `Big` LONG, `Name` CHAR(20), `Blob` OBJECT "
                       "PRIMARY KEY `Id`)"),
              static_cast<UINT>(ERROR_SUCCESS));
    ASSERT_EQ(Exec(db, "INSERT INTO `Property` (`Property`, `Value`) VALUES ('Plain', 'ascii text')"),
              static_cast<UINT>(ERROR_SUCCESS));
    ASSERT_EQ(Exec(db, "INSERT INTO `Property` (`Property`, `Value`) VALUES ('Second', 'more text')"),
              static_cast<UINT>(ERROR_SUCCESS));
    Handle params(MsiCreateRecord(3));
    MsiRecordSetInteger(params, 1, -300000);
    MsiRecordSetStringW(params, 2, u"naive");
    ASSERT_EQ(MsiRecordSetStreamW(params, 3, reinterpret_cast<LPCWSTR>(W(dir + "/payload.bin").c_str())),
              static_cast<UINT>(ERROR_SUCCESS));
    ASSERT_EQ(Exec(db, "INSERT INTO `Mixed` (`Id`, `Big`, `Name`, `Blob`) VALUES (7, ?, ?, ?)", params),
              static_cast<UINT>(ERROR_SUCCESS));
    ASSERT_EQ(Exec(db, "INSERT INTO `Mixed` (`Id`) VALUES (-2)"), static_cast<UINT>(ERROR_SUCCESS));
    Handle summary;
    ASSERT_EQ(MsiGetSummaryInformationW(db, nullptr, 4, &summary), static_cast<UINT>(ERROR_SUCCESS));
    EXPECT_EQ(MsiSummaryInfoSetPropertyW(summary, PID_TITLE, VT_LPSTR, 0, nullptr, u"Written here"),
              static_cast<UINT>(ERROR_SUCCESS));
    EXPECT_EQ(MsiSummaryInfoSetPropertyW(summary, PID_REVNUMBER, VT_LPSTR, 0, nullptr,
                                         u"{12345678-1234-1234-1234-123456789ABC}"),
              static_cast<UINT>(ERROR_SUCCESS));
    EXPECT_EQ(MsiSummaryInfoSetPropertyW(summary, PID_PAGECOUNT, VT_I4, 200, nullptr, nullptr),
              static_cast<UINT>(ERROR_SUCCESS));
    ASSERT_EQ(MsiSummaryInfoPersist(summary), static_cast<UINT>(ERROR_SUCCESS));
    ASSERT_EQ(MsiDatabaseCommit(db), static_cast<UINT>(ERROR_SUCCESS));
  }
  EXPECT_EQ(ToolTables(path), (std::vector<std::string>{"Mixed", "Property"}));
  EXPECT_EQ(ToolExport(path, "Property"),
            "Property\tValue\r\ns72\tl0\r\nProperty\tProperty\r\n"
            "Plain\tascii text\r\nSecond\tmore text\r\n");
  EXPECT_EQ(ToolExport(path, "Mixed"),
            "Id\tBig\tName\tBlob\r\ni2\tI4\tS20\tV0\r\nMixed\tId\r\n"
            "-2\t\t\t\r\n7\t-300000\tnaive\tMixed.7\r\n");
  EXPECT_EQ(Shell("msiinfo extract " + Quote(path) + " Mixed.7"), Blob(9000, 4));
  const std::string info = ToolExport(path, "_SummaryInformation");
  EXPECT_NE(info.find("2\tWritten here\r\n"), std::string::npos) << info;
  EXPECT_NE(info.find("9\t{12345678-1234-1234-1234-123456789ABC}\r\n"), std::string::npos) << info;
  EXPECT_NE(info.find("14\t200\r\n"), std::string::npos) << info;
  // msidump writes the same tables as archive files.
  const std::string dump = testenv::MakeTempDir("dump");
  int status = 0;
  Shell("cd " + Quote(dump) + " && msidump -t -d " + Quote(dump) + " " + Quote(path) + " 2>&1", &status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(testenv::ReadFile(dump + "/Property.idt"), ToolExport(path, "Property"));
  // And hostwin reads its own file as msiinfo does.
  ExpectSameTables(path);
}

TEST(MsiToolRoundTrip, CommittingAnEditLeavesEveryOtherTableAndStreamAsItWas) {
  const std::string path = BuildSample();
  std::map<std::string, std::string> before;
  for (const std::string &table : ToolTables(path)) before[table] = ToolExport(path, table);
  {
    Handle db(OpenDb(path, MSIDBOPEN_TRANSACT));
    ASSERT_EQ(Exec(db, "UPDATE `Property` SET `Value` = 'gamma' WHERE `Property` = 'ALPHA'"),
              static_cast<UINT>(ERROR_SUCCESS));
    ASSERT_EQ(MsiDatabaseCommit(db), static_cast<UINT>(ERROR_SUCCESS));
  }
  for (const auto &[table, text] : before) {
    if (table == "Property") continue;
    EXPECT_EQ(ToolExport(path, table), text) << table;
  }
  std::string expected = before["Property"];
  expected.replace(expected.find("ALPHA\tbeta"), 10, "ALPHA\tgamma");
  Handle db(OpenDb(path, MSIDBOPEN_READONLY));
  EXPECT_EQ(HostExport(db, u"Property"), expected);
  EXPECT_EQ(Shell("msiinfo extract " + Quote(path) + " Binary.Large"), Blob(70000, 2));
  EXPECT_NE(ToolExport(path, "_SummaryInformation").find("9\t{AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE}"),
            std::string::npos);
}

// The host's ANSI code page is UTF-8, so a code-page-0 database keeps any
// text (msiinfo cannot decode such text, so hostwin reads it back itself).
TEST(MsiToolRoundTrip, NonAsciiTextInACodePageZeroDatabaseSurvivesCommitAndReopen) {
  const std::string path = BuildSample();
  const std::string text = "Grüße, Ærø, €5, 東京, 😀";
  {
    Handle db(OpenDb(path, MSIDBOPEN_TRANSACT));
    Handle params(MsiCreateRecord(1));
    MsiRecordSetStringW(params, 1, reinterpret_cast<LPCWSTR>(W(text).c_str()));
    ASSERT_EQ(Exec(db, "INSERT INTO `Property` (`Property`, `Value`) VALUES ('Ünïcode', ?)", params),
              static_cast<UINT>(ERROR_SUCCESS));
    ASSERT_EQ(MsiDatabaseCommit(db), static_cast<UINT>(ERROR_SUCCESS));
  }
  Handle db(OpenDb(path, MSIDBOPEN_READONLY));
  EXPECT_EQ(Query(db, "SELECT `Value` FROM `Property` WHERE `Property` = 'Ünïcode'"),
            (std::vector<std::vector<std::string>>{{text}}));
  EXPECT_NE(testenv::ReadFile(path).find(text), std::string::npos);  // stored as UTF-8
  EXPECT_EQ(ToolExport(path, "Types"), ToolExport(BuildSample(), "Types"));
}

// In a database with a code page of its own, text is written in that code
// page; text it cannot hold fails the commit instead of turning into '?'.
TEST(MsiToolRoundTrip, CodePage1252TextReadsInMsiinfoAndUnrepresentableTextFailsTheCommit) {
  const std::string path = BuildSample();
  {
    Handle db(OpenDb(path, MSIDBOPEN_TRANSACT));
    ASSERT_TRUE(hw::msi::DatabaseFromHandle(db)->SetCodePage(1252));
    ASSERT_EQ(Exec(db, "INSERT INTO `Property` (`Property`, `Value`) VALUES ('Latin', 'Grüße, Ærø, €5')"),
              static_cast<UINT>(ERROR_SUCCESS));
    ASSERT_EQ(MsiDatabaseCommit(db), static_cast<UINT>(ERROR_SUCCESS));
  }
  EXPECT_NE(ToolExport(path, "Property").find("Latin\tGrüße, Ærø, €5\r\n"), std::string::npos)
      << ToolExport(path, "Property");
  const std::string before = testenv::ReadFile(path);
  Handle db(OpenDb(path, MSIDBOPEN_TRANSACT));
  EXPECT_EQ(hw::msi::DatabaseFromHandle(db)->CodePage(), 1252u);
  ASSERT_EQ(Exec(db, "INSERT INTO `Property` (`Property`, `Value`) VALUES ('Far', '東京')"),
            static_cast<UINT>(ERROR_SUCCESS));
  EXPECT_EQ(MsiDatabaseCommit(db), static_cast<UINT>(ERROR_FUNCTION_FAILED));
  EXPECT_EQ(testenv::ReadFile(path), before);
  EXPECT_EQ(Query(db, "SELECT `Value` FROM `Property` WHERE `Property` = 'Latin'"),
            (std::vector<std::vector<std::string>>{{"Grüße, Ærø, €5"}}));
}
