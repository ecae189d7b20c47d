// The package object over real database files: identity, property writes
// with validation, one committed transaction per write.
#include "setup/MsiPackage.h"

#include <msidefs.h>
#include <msiquery.h>

#include "hw/msi_database.h"

#include "TestEnvironment.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const char kProperty[] =
    "Property\tValue\r\ns72\tl0\r\nProperty\tProperty\r\n"
    "ProductCode\t{0A1B2C3D-1111-2222-3333-444455556666}\r\nDOWNLOADPATH\thttp://old/\r\n";
const char kValidation[] =
    "Table\tColumn\tNullable\tMinValue\tMaxValue\tKeyTable\tKeyColumn\tCategory\tSet\tDescription\r\n"
    "s32\ts32\ts4\tI4\tI4\tS255\tI2\tS32\tS255\tS255\r\n_Validation\tTable\tColumn\r\n"
    "Property\tProperty\tN\t\t\t\t\tIdentifier\t\t\r\nProperty\tValue\tN\t\t\t\t\tText\t\t\r\n";
const char kSummary[] =
    "PropertyId\tValue\r\ni2\tl255\r\n_SummaryInformation\tPropertyId\r\n"
    "9\t{C0DEC0DE-1111-2222-3333-444455556666}\r\n14\t200\r\n";
const char kSummaryWithoutRevision[] =
    "PropertyId\tValue\r\ni2\tl255\r\n_SummaryInformation\tPropertyId\r\n2\tNo revision\r\n";

std::string Sh(const std::string &command) {
  std::string out;
  testenv::RunProgram({"/bin/sh", "-c", command}, &out);
  return out;
}

// A package built by msibuild; its host path, which is also a Windows path
// on drive Z:.
std::string BuildPackage(const char *summary) {
  const std::string dir = testenv::MakeTempDir("package");
  testenv::WriteFile(dir + "/Property.idt", kProperty);
  testenv::WriteFile(dir + "/_Validation.idt", kValidation);
  testenv::WriteFile(dir + "/_SummaryInformation.idt", summary);
  // msibuild makes up a revision number unless the summary gives one; take
  // it out again for a package without one.
  Sh("cd '" + dir + "' && msibuild p.msi -i Property.idt -i _Validation.idt -i _SummaryInformation.idt");
  return dir + "/p.msi";
}

// The summary API cannot delete a property; the database layer can.
bool RemoveRevisionNumber(MSIHANDLE db) {
  auto database = hw::msi::DatabaseFromHandle(db);
  if (!database) return false;
  hw::msi::SummaryInfo summary = database->Summary();
  summary.properties.erase(PID_REVNUMBER);
  database->SetSummary(summary);
  return true;
}

CString W(const std::string &text) { return CString(std::u16string(text.begin(), text.end()).c_str()); }

// msiinfo writes stream cells into the current folder: run it beside the package.
std::string Export(const std::string &path) {
  return Sh("cd '" + path.substr(0, path.rfind('/')) + "' && msiinfo export '" + path + "' Property");
}

}  // namespace

TEST(MsiPackage, ConstructionReadsTheIdentityAtOnce) {
  const std::string path = BuildPackage(kSummary);
  CMsiPackage package(W(path));
  EXPECT_EQ(package.m_strPackagePath, W(path));
  EXPECT_EQ(package.m_strProductCode, CString(TEXT("{0A1B2C3D-1111-2222-3333-444455556666}")));
  EXPECT_EQ(package.m_strPackageCode, CString(TEXT("{C0DEC0DE-1111-2222-3333-444455556666}")));
  EXPECT_EQ(package.m_nUILevel, 5);
  EXPECT_FALSE(package.m_bPerMachine);
  EXPECT_TRUE(package.m_strInstalledPackageCode.IsEmpty());
  EXPECT_TRUE(package.m_strLogFile.IsEmpty());
  // No product is installed on a fresh host.
  EXPECT_EQ(package.Open(), INSTALLSTATE_UNKNOWN);
  EXPECT_FALSE(package.m_strProductCode.IsEmpty());
}

TEST(MsiPackage, EmptyPathAndNonDatabaseFile) {
  CMsiPackage empty;
  EXPECT_TRUE(empty.m_strPackagePath.IsEmpty());
  EXPECT_EQ(empty.Open(), INSTALLSTATE_INVALIDARG);
  EXPECT_FALSE(empty.SetProperty(TEXT("DOWNLOADPATH"), TEXT("x")));

  const std::string text = testenv::MakeTempDir("text") + "/notes.msi";
  testenv::WriteFile(text, "not an installation database\n");
  CMsiPackage package(W(text));
  EXPECT_EQ(package.Open(), INSTALLSTATE_UNKNOWN);
  EXPECT_TRUE(package.m_strProductCode.IsEmpty());
  EXPECT_TRUE(package.m_strPackageCode.IsEmpty());
  EXPECT_FALSE(package.SetProperty(TEXT("DOWNLOADPATH"), TEXT("x")));
  EXPECT_EQ(testenv::ReadFile(text), "not an installation database\n");
  // A path given to Open replaces the one held.
  const std::string good = BuildPackage(kSummary);
  EXPECT_EQ(package.Open(W(good)), INSTALLSTATE_UNKNOWN);
  EXPECT_EQ(package.m_strPackagePath, W(good));
  EXPECT_FALSE(package.m_strProductCode.IsEmpty());
  EXPECT_EQ(package.Open(TEXT("")), INSTALLSTATE_INVALIDARG);
  EXPECT_TRUE(package.m_strProductCode.IsEmpty());
}

TEST(MsiPackage, PackageWithoutRevisionNumberStillHasItsProductCode) {
  const std::string path = BuildPackage(kSummaryWithoutRevision);
  // msibuild makes up a revision number unless given one: take it out.
  {
    MSIHANDLE db = 0, summary = 0;
    ASSERT_EQ(MsiOpenDatabaseW(W(path), MSIDBOPEN_TRANSACT, &db), static_cast<UINT>(ERROR_SUCCESS));
    ASSERT_EQ(MsiGetSummaryInformationW(db, NULL, 0, &summary), static_cast<UINT>(ERROR_SUCCESS));
    MsiCloseHandle(summary);
    ASSERT_TRUE(RemoveRevisionNumber(db));
    ASSERT_EQ(MsiDatabaseCommit(db), static_cast<UINT>(ERROR_SUCCESS));
    MsiCloseHandle(db);
  }
  CMsiPackage package(W(path));
  EXPECT_EQ(package.m_strProductCode, CString(TEXT("{0A1B2C3D-1111-2222-3333-444455556666}")));
  EXPECT_TRUE(package.m_strPackageCode.IsEmpty());
}

TEST(MsiPackage, SetPropertyReplacesOrInsertsOneRowPerCall) {
  const std::string path = BuildPackage(kSummary);
  CMsiPackage package;
  package.m_strPackagePath = W(path);
  EXPECT_TRUE(package.SetProperty(TEXT("DOWNLOADPATH"), TEXT("http://new/")));
  EXPECT_TRUE(package.SetProperty(TEXT("DOWNLOADNAME"), TEXT("Orvandel 2.0")));
  EXPECT_TRUE(package.SetProperty(TEXT("DOWNLOADFILE_1"), TEXT("orvandel-x86.msi")));
  // Each call committed on its own: the independent tool sees all three.
  EXPECT_EQ(Export(path),
            "Property\tValue\r\ns72\tl0\r\nProperty\tProperty\r\n"
            "ProductCode\t{0A1B2C3D-1111-2222-3333-444455556666}\r\nDOWNLOADPATH\thttp://new/\r\n"
            "DOWNLOADNAME\tOrvandel 2.0\r\nDOWNLOADFILE_1\torvandel-x86.msi\r\n");
}

TEST(MsiPackage, EmptyValueFailsValidationAndLeavesTheFileAsItWas) {
  const std::string path = BuildPackage(kSummary);
  const std::string before = testenv::ReadFile(path);
  CMsiPackage package;
  package.m_strPackagePath = W(path);
  EXPECT_FALSE(package.SetProperty(TEXT("DOWNLOADPATH"), TEXT("")));
  EXPECT_FALSE(package.SetProperty(TEXT("NEWPROPERTY"), TEXT("")));
  EXPECT_EQ(testenv::ReadFile(path), before);
}

TEST(MsiPackage, DestructionClosesEveryInstallerHandleOfTheThread) {
  MSIHANDLE record = MsiCreateRecord(1);
  ASSERT_NE(record, 0u);
  { CMsiPackage package; }
  EXPECT_EQ(MsiCloseHandle(record), static_cast<UINT>(ERROR_INVALID_HANDLE));
}
