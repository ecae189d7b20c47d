// The installer database API's results and buffer contracts, its SQL subset,
// MsiViewModify with validation, and transactions.
#include <windows.h>
#include <msidefs.h>
#include <msiquery.h>
#include <wtypes.h>

#include "MsiTestSupport.h"
#include "TestEnvironment.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace msitest;
using Rows = std::vector<std::vector<std::string>>;

namespace {

const char kProperty[] =
    "Property\tValue\r\ns72\tl0\r\nProperty\tProperty\r\n"
    "ProductCode\t{11111111-2222-3333-4444-555555555555}\r\nALPHA\tbeta\r\nGAMMA\tdelta\r\n";
const char kNumbers[] =
    "Id\tValue\tLabel\r\ni2\tI4\tS20\r\nNumbers\tId\r\n1\t10\tone\r\n2\t20\ttwo\r\n3\t\tthree\r\n4\t-40\t\r\n";
const char kValidation[] =
    "Table\tColumn\tNullable\tMinValue\tMaxValue\tKeyTable\tKeyColumn\tCategory\tSet\tDescription\r\n"
    "s32\ts32\ts4\tI4\tI4\tS255\tI2\tS32\tS255\tS255\r\n_Validation\tTable\tColumn\r\n"
    "Property\tProperty\tN\t\t\t\t\tIdentifier\t\t\r\n"
    "Property\tValue\tN\t\t\t\t\tText\t\t\r\n"
    "Numbers\tId\tN\t1\t100\t\t\t\t\t\r\n"
    "Numbers\tValue\tY\t-50\t50\t\t\t\t\t\r\n"
    "Numbers\tLabel\tY\t\t\t\t\t\tone;two;three;four\t\r\n"
    "Link\tId\tN\t\t\t\t\tIdentifier\t\t\r\n"
    "Link\tTarget\tY\t\t\tProperty\t1\tIdentifier\t\t\r\n"
    "Link\tCode\tY\t\t\t\t\tGUID\t\t\r\n";
const char kLink[] = "Id\tTarget\tCode\r\ns10\tS72\tS38\r\nLink\tId\r\nfirst\tALPHA\t\r\n";

std::string BuildFixture() {
  return BuildWithMsibuild({{"Property.idt", kProperty},
                            {"Numbers.idt", kNumbers},
                            {"_Validation.idt", kValidation},
                            {"Link.idt", kLink}});
}

struct ModifyCase {
  const char *query;
  MSIMODIFY mode;
  std::vector<const char *> fields;  // record fields as text ("" is null)
  UINT expected;
  MSIDBERROR error;  // first error for validation modes
  const char *errorColumn;
};

MSIHANDLE MakeRecord(const std::vector<const char *> &fields) {
  MSIHANDLE record = MsiCreateRecord(static_cast<UINT>(fields.size()));
  for (size_t i = 0; i < fields.size(); ++i) {
    MsiRecordSetStringW(record, static_cast<UINT>(i + 1), reinterpret_cast<LPCWSTR>(W(fields[i]).c_str()));
  }
  return record;
}

}  // namespace

TEST(MsiOpen, FailsWithACodeForAnythingThatIsNotADatabase) {
  const std::string good = BuildFixture();
  const std::string bytes = testenv::ReadFile(good);
  const std::string dir = testenv::MakeTempDir("bad");
  std::string corrupt = bytes;
  for (size_t i = 0x48; i < 0x200; i += 7) corrupt[i] = static_cast<char>(~corrupt[i]);  // header fields
  std::string looped = bytes;
  // Point the directory's first sector's FAT entry at itself: a chain loop.
  const uint32_t dirStart = static_cast<uint8_t>(bytes[48]) | (static_cast<uint8_t>(bytes[49]) << 8);
  const uint32_t fatSector = static_cast<uint8_t>(bytes[76]);
  const size_t entry = 512 + fatSector * 512 + dirStart * 4;
  for (int k = 0; k < 4; ++k) looped[entry + k] = static_cast<char>((dirStart >> (8 * k)) & 0xFF);
  std::string hugeSize = bytes;  // a stream claiming 4 GiB
  const std::map<std::string, std::string> files = {
      {"empty.msi", ""},
      {"text.msi", "This is plain text, not a database.\n"},
      {"truncated.msi", bytes.substr(0, bytes.size() / 2)},
      {"header-only.msi", bytes.substr(0, 512)},
      {"corrupt.msi", corrupt},
      {"looped.msi", looped},
  };
  for (const auto &[name, content] : files) {
    testenv::WriteFile(dir + "/" + name, content);
    MSIHANDLE db = 0;
    EXPECT_EQ(MsiOpenDatabaseW(reinterpret_cast<LPCWSTR>(W(dir + "/" + name).c_str()), MSIDBOPEN_READONLY, &db),
              static_cast<UINT>(ERROR_OPEN_FAILED))
        << name;
    EXPECT_EQ(db, 0u) << name;
  }
  MSIHANDLE db = 0;
  EXPECT_EQ(MsiOpenDatabaseW(reinterpret_cast<LPCWSTR>(W(dir).c_str()), MSIDBOPEN_READONLY, &db),
            static_cast<UINT>(ERROR_OPEN_FAILED));
  EXPECT_EQ(MsiOpenDatabaseW(reinterpret_cast<LPCWSTR>(W(dir + "/missing.msi").c_str()), MSIDBOPEN_TRANSACT, &db),
            static_cast<UINT>(ERROR_OPEN_FAILED));
  EXPECT_EQ(MsiOpenDatabaseW(u"", MSIDBOPEN_READONLY, &db), static_cast<UINT>(ERROR_OPEN_FAILED));
  EXPECT_EQ(MsiOpenDatabaseW(reinterpret_cast<LPCWSTR>(W(dir + "/no/such/folder/new.msi").c_str()), MSIDBOPEN_CREATE,
                             &db),
            static_cast<UINT>(ERROR_CREATE_FAILED));
  EXPECT_EQ(MsiOpenDatabaseW(nullptr, MSIDBOPEN_READONLY, &db), static_cast<UINT>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(MsiOpenDatabaseW(reinterpret_cast<LPCWSTR>(W(good).c_str()), reinterpret_cast<LPCWSTR>(9), &db),
            static_cast<UINT>(ERROR_INVALID_PARAMETER));
}

TEST(MsiHandles, InvalidHandlesAndCloseAll) {
  EXPECT_EQ(MsiCloseHandle(0), static_cast<UINT>(ERROR_SUCCESS));
  EXPECT_EQ(MsiCloseHandle(123456), static_cast<UINT>(ERROR_INVALID_HANDLE));
  MSIHANDLE view = 0;
  EXPECT_EQ(MsiDatabaseOpenViewW(123456, u"SELECT * FROM `Property`", &view), static_cast<UINT>(ERROR_INVALID_HANDLE));
  EXPECT_EQ(MsiViewExecute(123456, 0), static_cast<UINT>(ERROR_INVALID_HANDLE));
  EXPECT_EQ(MsiDatabaseCommit(123456), static_cast<UINT>(ERROR_INVALID_HANDLE));
  EXPECT_EQ(MsiRecordGetFieldCount(123456), static_cast<UINT>(-1));
  EXPECT_EQ(MsiRecordGetInteger(123456, 1), static_cast<int>(MSI_NULL_INTEGER));

  MSIHANDLE db = OpenDb(BuildFixture(), MSIDBOPEN_READONLY);
  ASSERT_EQ(MsiDatabaseOpenViewW(db, u"SELECT * FROM `Property`", &view), static_cast<UINT>(ERROR_SUCCESS));
  MSIHANDLE record = MsiCreateRecord(1);
  const UINT before = MsiCloseAllHandles();
  EXPECT_GE(before, 3u);
  EXPECT_EQ(MsiCloseHandle(db), static_cast<UINT>(ERROR_INVALID_HANDLE));
  EXPECT_EQ(MsiCloseHandle(record), static_cast<UINT>(ERROR_INVALID_HANDLE));
  EXPECT_EQ(MsiCloseAllHandles(), 0u);
}

TEST(MsiRecord, StringBufferContractAndConversions) {
  Handle record(MsiCreateRecord(3));
  ASSERT_NE(static_cast<MSIHANDLE>(record), 0u);
  EXPECT_EQ(MsiRecordGetFieldCount(record), 3u);
  EXPECT_EQ(MsiRecordSetStringW(record, 1, u"abcdef"), static_cast<UINT>(ERROR_SUCCESS));
  EXPECT_EQ(MsiRecordSetInteger(record, 2, -42), static_cast<UINT>(ERROR_SUCCESS));
  EXPECT_EQ(MsiRecordSetStringW(record, 4, u"x"), static_cast<UINT>(ERROR_INVALID_PARAMETER));

  WCHAR buffer[8];
  DWORD size = 4;
  EXPECT_EQ(MsiRecordGetStringW(record, 1, buffer, &size), static_cast<UINT>(ERROR_MORE_DATA));
  EXPECT_EQ(size, 6u);  // the length needed, without the terminator
  EXPECT_EQ(std::u16string(buffer), u"abc");
  size = 7;
  EXPECT_EQ(MsiRecordGetStringW(record, 1, buffer, &size), static_cast<UINT>(ERROR_SUCCESS));
  EXPECT_EQ(size, 6u);
  EXPECT_EQ(std::u16string(buffer), u"abcdef");
  size = 0;
  EXPECT_EQ(MsiRecordGetStringW(record, 1, nullptr, &size), static_cast<UINT>(ERROR_SUCCESS));
  EXPECT_EQ(size, 6u);
  size = 8;
  EXPECT_EQ(MsiRecordGetStringW(record, 2, buffer, &size), static_cast<UINT>(ERROR_SUCCESS));
  EXPECT_EQ(std::u16string(buffer), u"-42");

  EXPECT_EQ(MsiRecordGetInteger(record, 1), static_cast<int>(MSI_NULL_INTEGER));
  MsiRecordSetStringW(record, 1, u"17");
  EXPECT_EQ(MsiRecordGetInteger(record, 1), 17);
  EXPECT_TRUE(MsiRecordIsNull(record, 3));
  MsiRecordSetStringW(record, 1, u"");
  EXPECT_TRUE(MsiRecordIsNull(record, 1));
  EXPECT_TRUE(MsiRecordIsNull(record, 9));
  MsiRecordSetInteger(record, 2, static_cast<int>(MSI_NULL_INTEGER));
  EXPECT_TRUE(MsiRecordIsNull(record, 2));
  DWORD bytes = 0;
  EXPECT_EQ(MsiRecordReadStream(record, 2, nullptr, &bytes), static_cast<UINT>(ERROR_SUCCESS));
  MsiRecordSetStringW(record, 2, u"text");
  EXPECT_EQ(MsiRecordReadStream(record, 2, nullptr, &bytes), static_cast<UINT>(ERROR_DATATYPE_MISMATCH));
}

TEST(MsiSql, QueriesSelectFilterAndOrderRows) {
  Handle db(OpenDb(BuildFixture(), MSIDBOPEN_READONLY));
  const std::pair<const char *, Rows> cases[] = {
      {"SELECT `Id` FROM `Numbers` ORDER BY `Id`", {{"1"}, {"2"}, {"3"}, {"4"}}},
      {"SELECT `Id` FROM `Numbers` WHERE `Value` > 10 ORDER BY `Id`", {{"2"}}},
      {"SELECT `Id` FROM `Numbers` WHERE `Value` >= 10 ORDER BY `Id`", {{"1"}, {"2"}}},
      {"SELECT `Id` FROM `Numbers` WHERE `Value` < 10 ORDER BY `Id`", {{"4"}}},
      {"SELECT `Id` FROM `Numbers` WHERE `Value` <= -40", {{"4"}}},
      {"SELECT `Id` FROM `Numbers` WHERE `Value` <> 10 ORDER BY `Id`", {{"2"}, {"3"}, {"4"}}},
      {"SELECT `Id` FROM `Numbers` WHERE `Value` IS NULL", {{"3"}}},
      {"SELECT `Id` FROM `Numbers` WHERE `Label` IS NOT NULL AND `Value` IS NOT NULL ORDER BY `Id`", {{"1"}, {"2"}}},
      {"SELECT `Id` FROM `Numbers` WHERE `Id` = 1 OR (`Label` = 'three' AND `Id` > 2) ORDER BY `Id`", {{"1"}, {"3"}}},
      {"SELECT `Label`, `Id` FROM `Numbers` WHERE `Label` = 'two'", {{"two", "2"}}},
      {"SELECT `Label` FROM `Numbers` ORDER BY `Value`, `Id`", {{"three"}, {"<null>"}, {"one"}, {"two"}}},
      {"select `Numbers`.`Id` from `Numbers` where `Numbers`.`Id`=2", {{"2"}}},
      {"SELECT Id FROM Numbers WHERE Label='one'", {{"1"}}},
      {"SELECT * FROM `Property` WHERE `Property`='ALPHA'", {{"ALPHA", "beta"}}},
      {"SELECT `Name` FROM `_Tables` WHERE `Name`='Link'", {{"Link"}}},
      {"SELECT `Name`, `Type` FROM `_Columns` WHERE `Table`='Numbers' AND `Number`=2", {{"Value", "4356"}}},
      {"SELECT DISTINCT `Table` FROM `_Validation` WHERE `Table`='Numbers'", {{"Numbers"}}},
  };
  for (const auto &[sql, rows] : cases) EXPECT_EQ(Query(db, sql), rows) << sql;

  // Parameters bind in order of appearance.
  Handle params(MsiCreateRecord(2));
  MsiRecordSetInteger(params, 1, 0);
  MsiRecordSetStringW(params, 2, u"two");
  Handle view, record;
  ASSERT_EQ(MsiDatabaseOpenViewW(db, u"SELECT `Id` FROM `Numbers` WHERE `Value` > ? AND `Label` <> ?", &view),
            static_cast<UINT>(ERROR_SUCCESS));
  ASSERT_EQ(MsiViewExecute(view, params), static_cast<UINT>(ERROR_SUCCESS));
  ASSERT_EQ(MsiViewFetch(view, &record), static_cast<UINT>(ERROR_SUCCESS));
  EXPECT_EQ(MsiRecordGetInteger(record, 1), 1);
  MSIHANDLE none = 99;
  EXPECT_EQ(MsiViewFetch(view, &none), static_cast<UINT>(ERROR_NO_MORE_ITEMS));
  EXPECT_EQ(none, 0u);
  EXPECT_EQ(MsiViewClose(view), static_cast<UINT>(ERROR_SUCCESS));
  EXPECT_EQ(MsiViewFetch(view, &none), static_cast<UINT>(ERROR_FUNCTION_FAILED));
}

TEST(MsiSql, BadQueriesFailWithBadQuerySyntax) {
  Handle db(OpenDb(BuildFixture(), MSIDBOPEN_READONLY));
  const char *const bad[] = {
      "",
      "SELEKT * FROM `Property`",
      "SELECT * FROM `Nonexistent`",
      "SELECT `Nope` FROM `Property`",
      "SELECT * FROM `Property` WHERE `Nope` = 1",
      "SELECT * FROM `Property` WHERE `Property` = 'unterminated",
      "SELECT * FROM `Property` WHERE",
      "SELECT * FROM `Property` ORDER `Property`",
      "SELECT * FROM `Property` WHERE (`Property` = 'A'",
      "SELECT `Other`.`Property` FROM `Property`",
      "INSERT INTO `Property` (`Property`, `Value`) VALUES ('A')",
      "CREATE TABLE `Property` (`A` SHORT PRIMARY KEY `A`)",
      "CREATE TABLE `New` (`A` SHORT)",
      "CREATE TABLE `New` (`A` SHORT PRIMARY KEY `B`)",
      "DELETE `Property`",
      "SELECT * FROM `Property` garbage",
  };
  for (const char *sql : bad) {
    MSIHANDLE view = 0;
    EXPECT_EQ(MsiDatabaseOpenViewW(db, reinterpret_cast<LPCWSTR>(W(sql).c_str()), &view),
              static_cast<UINT>(ERROR_BAD_QUERY_SYNTAX))
        << sql;
    EXPECT_EQ(view, 0u);
  }
  // A deeply nested condition is refused, not followed.
  std::string deep = "SELECT * FROM `Property` WHERE " + std::string(5000, '(') + "`Property`='A'" + std::string(5000, ')');
  MSIHANDLE view = 0;
  EXPECT_EQ(MsiDatabaseOpenViewW(db, reinterpret_cast<LPCWSTR>(W(deep).c_str()), &view),
            static_cast<UINT>(ERROR_BAD_QUERY_SYNTAX));
}

TEST(MsiSql, InsertUpdateDeleteCreateAndDropChangeTheDatabase) {
  Handle db(OpenDb(BuildFixture(), MSIDBOPEN_TRANSACT));
  EXPECT_EQ(Exec(db, "INSERT INTO `Numbers` (`Id`, `Value`, `Label`) VALUES (5, 50, 'five')"),
            static_cast<UINT>(ERROR_SUCCESS));
  EXPECT_EQ(Exec(db, "INSERT INTO `Numbers` (`Id`) VALUES (5)"), static_cast<UINT>(ERROR_FUNCTION_FAILED));
  EXPECT_EQ(Exec(db, "INSERT INTO `Numbers` (`Id`, `Value`) VALUES (6, 'not a number')"),
            static_cast<UINT>(ERROR_FUNCTION_FAILED));
  EXPECT_EQ(Exec(db, "INSERT INTO `Numbers` (`Id`) VALUES (40000)"), static_cast<UINT>(ERROR_FUNCTION_FAILED));
  EXPECT_EQ(Exec(db, "UPDATE `Numbers` SET `Label` = 'big', `Value` = 99 WHERE `Value` >= 20"),
            static_cast<UINT>(ERROR_SUCCESS));
  EXPECT_EQ(Exec(db, "UPDATE `Numbers` SET `Id` = 9 WHERE `Id` = 1"), static_cast<UINT>(ERROR_FUNCTION_FAILED));
  EXPECT_EQ(Exec(db, "DELETE FROM `Numbers` WHERE `Id` = 1 OR `Id` = 4"), static_cast<UINT>(ERROR_SUCCESS));
  EXPECT_EQ(Query(db, "SELECT * FROM `Numbers` ORDER BY `Id`"),
            (Rows{{"2", "99", "big"}, {"3", "<null>", "three"}, {"5", "99", "big"}}));
  EXPECT_EQ(Exec(db, "CREATE TABLE `Extra` (`Key` CHAR(10) NOT NULL, `N` LONG PRIMARY KEY `Key`)"),
            static_cast<UINT>(ERROR_SUCCESS));
  EXPECT_EQ(Exec(db, "INSERT INTO `Extra` (`Key`, `N`) VALUES ('k', -7)"), static_cast<UINT>(ERROR_SUCCESS));
  EXPECT_EQ(Query(db, "SELECT `N` FROM `Extra`"), (Rows{{"-7"}}));
  EXPECT_EQ(Exec(db, "DROP TABLE `Extra`"), static_cast<UINT>(ERROR_SUCCESS));
  MSIHANDLE view = 0;
  EXPECT_EQ(MsiDatabaseOpenViewW(db, u"SELECT * FROM `Extra`", &view), static_cast<UINT>(ERROR_BAD_QUERY_SYNTAX));

  // A read-only database takes no changes.
  Handle readOnly(OpenDb(BuildFixture(), MSIDBOPEN_READONLY));
  EXPECT_EQ(Exec(readOnly, "DELETE FROM `Numbers`"), static_cast<UINT>(ERROR_FUNCTION_FAILED));
  EXPECT_EQ(Query(readOnly, "SELECT `Id` FROM `Numbers` WHERE `Id` = 1"), (Rows{{"1"}}));
}

TEST(MsiModify, ModesAndValidationAgainstTheValidationTable) {
  const ModifyCase cases[] = {
      // Validation: the database's own _Validation rows decide.
      {"SELECT * FROM `Property`", MSIMODIFY_VALIDATE_NEW, {"NEWPROP", "value"}, ERROR_SUCCESS, MSIDBERROR_NOERROR, ""},
      {"SELECT * FROM `Property`", MSIMODIFY_VALIDATE_NEW, {"NEWPROP", ""}, ERROR_INVALID_DATA, MSIDBERROR_REQUIRED, "Value"},
      {"SELECT * FROM `Property`", MSIMODIFY_VALIDATE_NEW, {"ALPHA", "x"}, ERROR_INVALID_DATA, MSIDBERROR_DUPLICATEKEY, "Property"},
      {"SELECT * FROM `Property`", MSIMODIFY_VALIDATE_NEW, {"1bad", "x"}, ERROR_INVALID_DATA, MSIDBERROR_BADIDENTIFIER, "Property"},
      {"SELECT * FROM `Numbers`", MSIMODIFY_VALIDATE_NEW, {"0", "1", "one"}, ERROR_INVALID_DATA, MSIDBERROR_UNDERFLOW, "Id"},
      {"SELECT * FROM `Numbers`", MSIMODIFY_VALIDATE_NEW, {"9", "51", "one"}, ERROR_INVALID_DATA, MSIDBERROR_OVERFLOW, "Value"},
      {"SELECT * FROM `Numbers`", MSIMODIFY_VALIDATE_NEW, {"9", "5", "nine"}, ERROR_INVALID_DATA, MSIDBERROR_NOTINSET, "Label"},
      {"SELECT * FROM `Numbers`", MSIMODIFY_VALIDATE_NEW, {"9", "", "four"}, ERROR_SUCCESS, MSIDBERROR_NOERROR, ""},
      {"SELECT * FROM `Numbers`", MSIMODIFY_VALIDATE_NEW, {"9", "5", "a label longer than twenty"}, ERROR_INVALID_DATA, MSIDBERROR_STRINGOVERFLOW, "Label"},
      {"SELECT * FROM `Link`", MSIMODIFY_VALIDATE_NEW, {"second", "GAMMA", ""}, ERROR_SUCCESS, MSIDBERROR_NOERROR, ""},
      {"SELECT * FROM `Link`", MSIMODIFY_VALIDATE_NEW, {"second", "MISSING", ""}, ERROR_INVALID_DATA, MSIDBERROR_BADLINK, "Target"},
      {"SELECT * FROM `Link`", MSIMODIFY_VALIDATE_NEW, {"second", "", "{not-a-guid}"}, ERROR_INVALID_DATA, MSIDBERROR_BADGUID, "Code"},
      // Changes.
      {"SELECT * FROM `Property`", MSIMODIFY_INSERT, {"NEWPROP", "value"}, ERROR_SUCCESS, MSIDBERROR_NOERROR, ""},
      {"SELECT * FROM `Property`", MSIMODIFY_INSERT, {"ALPHA", "value"}, ERROR_FUNCTION_FAILED, MSIDBERROR_NOERROR, ""},
      {"SELECT * FROM `Property`", MSIMODIFY_ASSIGN, {"ALPHA", "assigned"}, ERROR_SUCCESS, MSIDBERROR_NOERROR, ""},
      {"SELECT * FROM `Property`", MSIMODIFY_ASSIGN, {"OMEGA", "new"}, ERROR_SUCCESS, MSIDBERROR_NOERROR, ""},
      {"SELECT * FROM `Property`", MSIMODIFY_MERGE, {"GAMMA", "delta"}, ERROR_SUCCESS, MSIDBERROR_NOERROR, ""},
      {"SELECT * FROM `Property`", MSIMODIFY_MERGE, {"GAMMA", "other"}, ERROR_FUNCTION_FAILED, MSIDBERROR_NOERROR, ""},
      {"SELECT * FROM `Property`", MSIMODIFY_UPDATE, {"GAMMA", "x"}, ERROR_FUNCTION_FAILED, MSIDBERROR_NOERROR, ""},
      {"SELECT * FROM `Property`", MSIMODIFY_DELETE, {"GAMMA", ""}, ERROR_SUCCESS, MSIDBERROR_NOERROR, ""},
  };
  Handle db(OpenDb(BuildFixture(), MSIDBOPEN_TRANSACT));
  for (const ModifyCase &c : cases) {
    Handle view;
    ASSERT_EQ(MsiDatabaseOpenViewW(db, reinterpret_cast<LPCWSTR>(W(c.query).c_str()), &view),
              static_cast<UINT>(ERROR_SUCCESS));
    ASSERT_EQ(MsiViewExecute(view, 0), static_cast<UINT>(ERROR_SUCCESS));
    Handle record(MakeRecord(c.fields));
    EXPECT_EQ(MsiViewModify(view, c.mode, record), c.expected) << c.query << " mode " << c.mode << " " << c.fields[0];
    WCHAR column[64];
    DWORD size = 64;
    EXPECT_EQ(MsiViewGetErrorW(view, column, &size), c.error) << c.fields[0];
    if (c.error != MSIDBERROR_NOERROR) {
      EXPECT_EQ(U8(column), c.errorColumn) << c.fields[0];
    }
  }
  // A buffer too small for the column's name keeps the error for the next call.
  {
    Handle view;
    ASSERT_EQ(MsiDatabaseOpenViewW(db, u"SELECT * FROM `Numbers`", &view), static_cast<UINT>(ERROR_SUCCESS));
    Handle record(MakeRecord({"", "99", "nine"}));
    EXPECT_EQ(MsiViewModify(view, MSIMODIFY_VALIDATE_NEW, record), static_cast<UINT>(ERROR_INVALID_DATA));
    WCHAR column[8];
    DWORD size = 2;
    EXPECT_EQ(MsiViewGetErrorW(view, column, &size), MSIDBERROR_MOREDATA);
    EXPECT_EQ(size, 2u);  // "Id"
    size = 8;
    EXPECT_EQ(MsiViewGetErrorW(view, column, &size), MSIDBERROR_REQUIRED);
    EXPECT_EQ(std::u16string(column), u"Id");
    size = 8;
    EXPECT_EQ(MsiViewGetErrorW(view, column, &size), MSIDBERROR_OVERFLOW);
    EXPECT_EQ(std::u16string(column), u"Value");
    size = 8;
    EXPECT_EQ(MsiViewGetErrorW(view, column, &size), MSIDBERROR_NOTINSET);
    size = 8;
    EXPECT_EQ(MsiViewGetErrorW(view, column, &size), MSIDBERROR_NOERROR);
  }
  EXPECT_EQ(Query(db, "SELECT * FROM `Property` ORDER BY `Property`"),
            (Rows{{"ALPHA", "assigned"}, {"NEWPROP", "value"}, {"OMEGA", "new"},
                  {"ProductCode", "{11111111-2222-3333-4444-555555555555}"}}));
}

TEST(MsiModify, FetchedRecordsUpdateReplaceAndDeleteTheirRow) {
  Handle db(OpenDb(BuildFixture(), MSIDBOPEN_TRANSACT));
  {
    Handle view, record;
    ASSERT_EQ(MsiDatabaseOpenViewW(db, u"SELECT `Label`, `Value` FROM `Numbers` WHERE `Id` = 2", &view),
              static_cast<UINT>(ERROR_SUCCESS));
    ASSERT_EQ(MsiViewExecute(view, 0), static_cast<UINT>(ERROR_SUCCESS));
    ASSERT_EQ(MsiViewFetch(view, &record), static_cast<UINT>(ERROR_SUCCESS));
    MsiRecordSetStringW(record, 1, u"four");
    MsiRecordSetInteger(record, 2, 22);
    EXPECT_EQ(MsiViewModify(view, MSIMODIFY_VALIDATE, record), static_cast<UINT>(ERROR_SUCCESS));
    EXPECT_EQ(MsiViewModify(view, MSIMODIFY_UPDATE, record), static_cast<UINT>(ERROR_SUCCESS));
    MsiRecordSetInteger(record, 2, 23);
    EXPECT_EQ(MsiViewModify(view, MSIMODIFY_REPLACE, record), static_cast<UINT>(ERROR_SUCCESS));
  }
  {
    Handle view, record;
    ASSERT_EQ(MsiDatabaseOpenViewW(db, u"SELECT * FROM `Numbers` WHERE `Id` = 3", &view),
              static_cast<UINT>(ERROR_SUCCESS));
    ASSERT_EQ(MsiViewExecute(view, 0), static_cast<UINT>(ERROR_SUCCESS));
    ASSERT_EQ(MsiViewFetch(view, &record), static_cast<UINT>(ERROR_SUCCESS));
    // A new key through REPLACE moves the row.
    MsiRecordSetInteger(record, 1, 30);
    EXPECT_EQ(MsiViewModify(view, MSIMODIFY_REPLACE, record), static_cast<UINT>(ERROR_SUCCESS));
    EXPECT_EQ(MsiViewModify(view, MSIMODIFY_DELETE, record), static_cast<UINT>(ERROR_SUCCESS));
    EXPECT_EQ(MsiViewModify(view, MSIMODIFY_DELETE, record), static_cast<UINT>(ERROR_FUNCTION_FAILED));
  }
  EXPECT_EQ(Query(db, "SELECT * FROM `Numbers` ORDER BY `Id`"),
            (Rows{{"1", "10", "one"}, {"2", "23", "four"}, {"4", "-40", "<null>"}}));
  // A read-only database refuses changes through views too.
  Handle readOnly(OpenDb(BuildFixture(), MSIDBOPEN_READONLY));
  Handle view;
  ASSERT_EQ(MsiDatabaseOpenViewW(readOnly, u"SELECT * FROM `Property`", &view), static_cast<UINT>(ERROR_SUCCESS));
  ASSERT_EQ(MsiViewExecute(view, 0), static_cast<UINT>(ERROR_SUCCESS));
  Handle record(MakeRecord({"NEW", "x"}));
  EXPECT_EQ(MsiViewModify(view, MSIMODIFY_INSERT, record), static_cast<UINT>(ERROR_FUNCTION_FAILED));
  EXPECT_EQ(MsiViewModify(view, MSIMODIFY_INSERT_TEMPORARY, record), static_cast<UINT>(ERROR_SUCCESS));
}

TEST(MsiTransaction, UncommittedChangesLeaveTheFileByteForByte) {
  const std::string path = BuildFixture();
  const std::string before = testenv::ReadFile(path);
  {
    Handle db(OpenDb(path, MSIDBOPEN_TRANSACT));
    EXPECT_EQ(Exec(db, "DELETE FROM `Property`"), static_cast<UINT>(ERROR_SUCCESS));
    EXPECT_EQ(Exec(db, "DROP TABLE `Numbers`"), static_cast<UINT>(ERROR_SUCCESS));
  }
  EXPECT_EQ(testenv::ReadFile(path), before);
  {
    Handle db(OpenDb(path, MSIDBOPEN_DIRECT));
    EXPECT_EQ(Exec(db, "DELETE FROM `Property`"), static_cast<UINT>(ERROR_SUCCESS));
  }
  EXPECT_EQ(testenv::ReadFile(path), before);
  {
    Handle db(OpenDb(path, MSIDBOPEN_READONLY));
    EXPECT_EQ(MsiDatabaseCommit(db), static_cast<UINT>(ERROR_SUCCESS));  // nothing to write
  }
  EXPECT_EQ(testenv::ReadFile(path), before);
}

TEST(MsiTransaction, CommitsReplaceTheFileWholeAndRepeatedly) {
  const std::string path = BuildFixture();
  chmod(path.c_str(), 0640);
  Handle db(OpenDb(path, MSIDBOPEN_TRANSACT));
  for (int i = 1; i <= 3; ++i) {
    const std::string sql = "INSERT INTO `Property` (`Property`, `Value`) VALUES ('P" + std::to_string(i) + "', 'v')";
    ASSERT_EQ(Exec(db, sql), static_cast<UINT>(ERROR_SUCCESS));
    ASSERT_EQ(MsiDatabaseCommit(db), static_cast<UINT>(ERROR_SUCCESS));
    Handle reader(OpenDb(path, MSIDBOPEN_READONLY));
    EXPECT_EQ(Query(reader, "SELECT `Property` FROM `Property` WHERE `Value` = 'v' ORDER BY `Property`").size(),
              static_cast<size_t>(i));
  }
  struct stat st{};
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  // Nothing is left beside the file.
  const std::string dir = path.substr(0, path.rfind('/'));
  EXPECT_EQ(Shell("ls -A " + Quote(dir) + " | grep -c tmp"), "0\n");

  // An output path takes the changes; the source stays as it was.
  const std::string source = testenv::ReadFile(path);
  const std::string output = dir + "/copy.msi";
  MSIHANDLE copy = 0;
  ASSERT_EQ(MsiOpenDatabaseW(reinterpret_cast<LPCWSTR>(W(path).c_str()), reinterpret_cast<LPCWSTR>(W(output).c_str()),
                             &copy),
            static_cast<UINT>(ERROR_SUCCESS));
  EXPECT_EQ(Exec(copy, "DELETE FROM `Numbers`"), static_cast<UINT>(ERROR_SUCCESS));
  EXPECT_EQ(MsiDatabaseCommit(copy), static_cast<UINT>(ERROR_SUCCESS));
  MsiCloseHandle(copy);
  EXPECT_EQ(testenv::ReadFile(path), source);
  Handle reader(OpenDb(output, MSIDBOPEN_READONLY));
  EXPECT_TRUE(Query(reader, "SELECT * FROM `Numbers`").empty());
  EXPECT_EQ(Query(reader, "SELECT `Value` FROM `Property` WHERE `Property`='P3'"), (Rows{{"v"}}));
}

TEST(MsiTransaction, CommitFailsCleanlyWhenTheFolderIsGone) {
  const std::string dir = testenv::MakeTempDir("gone");
  const std::string path = dir + "/db.msi";
  testenv::WriteFile(path, testenv::ReadFile(BuildFixture()));
  Handle db(OpenDb(path, MSIDBOPEN_TRANSACT));
  Shell("rm -rf " + Quote(dir));
  EXPECT_EQ(Exec(db, "DELETE FROM `Property`"), static_cast<UINT>(ERROR_SUCCESS));
  EXPECT_EQ(MsiDatabaseCommit(db), static_cast<UINT>(ERROR_FUNCTION_FAILED));
}

TEST(MsiSummary, PropertiesTypesAndBufferContract) {
  const std::string path = BuildWithMsibuild(
      {{"Property.idt", kProperty},
       {"_SummaryInformation.idt",
        "PropertyId\tValue\r\ni2\tl255\r\n_SummaryInformation\tPropertyId\r\n2\tA title\r\n14\t200\r\n"}});
  Handle db(OpenDb(path, MSIDBOPEN_TRANSACT));
  Handle summary;
  ASSERT_EQ(MsiGetSummaryInformationW(db, nullptr, 2, &summary), static_cast<UINT>(ERROR_SUCCESS));
  UINT type = 99;
  WCHAR buffer[4];
  DWORD size = 4;
  EXPECT_EQ(MsiSummaryInfoGetPropertyW(summary, PID_TITLE, &type, nullptr, nullptr, buffer, &size),
            static_cast<UINT>(ERROR_MORE_DATA));
  EXPECT_EQ(type, static_cast<UINT>(VT_LPSTR));
  EXPECT_EQ(size, 7u);
  EXPECT_EQ(MsiSummaryInfoGetPropertyW(summary, PID_AUTHOR, &type, nullptr, nullptr, buffer, &size),
            static_cast<UINT>(ERROR_SUCCESS));
  EXPECT_EQ(type, static_cast<UINT>(VT_EMPTY));
  EXPECT_EQ(MsiSummaryInfoGetPropertyW(summary, 99, &type, nullptr, nullptr, buffer, &size),
            static_cast<UINT>(ERROR_UNKNOWN_PROPERTY));
  EXPECT_EQ(MsiSummaryInfoSetPropertyW(summary, PID_TITLE, VT_I4, 1, nullptr, nullptr),
            static_cast<UINT>(ERROR_DATATYPE_MISMATCH));
  FILETIME time = {0x12345678, 0x01D9ABCD};
  EXPECT_EQ(MsiSummaryInfoSetPropertyW(summary, PID_CREATE_DTM, VT_FILETIME, 0, &time, nullptr),
            static_cast<UINT>(ERROR_SUCCESS));
  EXPECT_EQ(MsiSummaryInfoSetPropertyW(summary, PID_REVNUMBER, VT_LPSTR, 0, nullptr, u"{REV}"),
            static_cast<UINT>(ERROR_SUCCESS));
  EXPECT_EQ(MsiSummaryInfoSetPropertyW(summary, PID_SUBJECT, VT_LPSTR, 0, nullptr, u"third"),
            static_cast<UINT>(ERROR_FUNCTION_FAILED));  // the update count is 2
  EXPECT_EQ(MsiSummaryInfoPersist(summary), static_cast<UINT>(ERROR_SUCCESS));
  EXPECT_EQ(MsiDatabaseCommit(db), static_cast<UINT>(ERROR_SUCCESS));

  Handle reread;
  ASSERT_EQ(MsiGetSummaryInformationW(0, reinterpret_cast<LPCWSTR>(W(path).c_str()), 0, &reread),
            static_cast<UINT>(ERROR_SUCCESS));
  FILETIME back = {};
  EXPECT_EQ(MsiSummaryInfoGetPropertyW(reread, PID_CREATE_DTM, &type, nullptr, &back, nullptr, nullptr),
            static_cast<UINT>(ERROR_SUCCESS));
  EXPECT_EQ(type, static_cast<UINT>(VT_FILETIME));
  EXPECT_EQ(back.dwLowDateTime, time.dwLowDateTime);
  EXPECT_EQ(back.dwHighDateTime, time.dwHighDateTime);
  INT value = 0;
  EXPECT_EQ(MsiSummaryInfoGetPropertyW(reread, PID_PAGECOUNT, &type, &value, nullptr, nullptr, nullptr),
            static_cast<UINT>(ERROR_SUCCESS));
  EXPECT_EQ(value, 200);
  size = 4;
  EXPECT_EQ(MsiSummaryInfoGetPropertyW(reread, PID_TITLE, &type, nullptr, nullptr, buffer, &size),
            static_cast<UINT>(ERROR_MORE_DATA));
  WCHAR rev[16];
  size = 16;
  EXPECT_EQ(MsiSummaryInfoGetPropertyW(reread, PID_REVNUMBER, &type, nullptr, nullptr, rev, &size),
            static_cast<UINT>(ERROR_SUCCESS));
  EXPECT_EQ(std::u16string(rev), u"{REV}");
  EXPECT_NE(ToolExport(path, "_SummaryInformation").find("9\t{REV}\r\n"), std::string::npos);
  EXPECT_EQ(MsiSummaryInfoPersist(reread), static_cast<UINT>(ERROR_FUNCTION_FAILED));  // read-only
}

TEST(MsiProduct, EveryProductIsUnknownOnTheHost) {
  EXPECT_EQ(MsiQueryProductStateW(u"{11111111-2222-3333-4444-555555555555}"), INSTALLSTATE_UNKNOWN);
  EXPECT_EQ(MsiQueryProductStateW(u""), INSTALLSTATE_INVALIDARG);
  EXPECT_EQ(MsiQueryProductStateW(u"not a guid"), INSTALLSTATE_INVALIDARG);
  EXPECT_EQ(MsiQueryProductStateW(nullptr), INSTALLSTATE_INVALIDARG);
}
