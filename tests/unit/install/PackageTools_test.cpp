// The built package as msitools reads it, as hostwin reads it, and as the
// IDT sources give it: three views of the same tables.
#include <windows.h>
#include <msiquery.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "MsiTestSupport.h"
#include "PackageSupport.h"
#include "TestEnvironment.h"

namespace {

// An exported or IDT table: its three header lines and its rows, each row
// padded to the column count and the rows sorted.
struct TableText {
  std::vector<std::string> header;
  std::vector<std::vector<std::string>> rows;
};

std::vector<std::string> Split(const std::string &line, char separator) {
  std::vector<std::string> fields;
  std::string field;
  std::istringstream in(line);
  while (std::getline(in, field, separator)) fields.push_back(field);
  if (!line.empty() && line.back() == separator) fields.push_back("");
  return fields;
}

TableText Parse(const std::string &text) {
  TableText table;
  std::istringstream in(text);
  size_t columns = 0;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (table.header.size() < 3) {
      if (table.header.empty()) columns = Split(line, '\t').size();
      table.header.push_back(line);
      continue;
    }
    std::vector<std::string> row = Split(line, '\t');
    row.resize(std::max(row.size(), columns));
    table.rows.push_back(row);
  }
  std::sort(table.rows.begin(), table.rows.end());
  return table;
}

class PackageViews : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(testenv::FileExists(package::Path())) << package::Path();
    m_db = msitest::OpenDb(package::Path(), MSIDBOPEN_READONLY);
  }
  void TearDown() override { MsiCloseHandle(m_db); }
  MSIHANDLE m_db = 0;
};

TEST_F(PackageViews, MsitoolsSeesTheSameTablesAsHostwin) {
  const std::vector<std::string> tables = msitest::ToolTables(package::Path());
  ASSERT_EQ(tables.size(), 67u);
  EXPECT_EQ(tables, msitest::HostTables(m_db));
  // msiinfo writes the streams of an exported table into <table>/ of its
  // working folder.
  const std::string work = testenv::MakeTempDir("msiinfo");
  for (const std::string &table : tables) {
    const TableText tool = Parse(msitest::Shell("cd " + msitest::Quote(work) + " && msiinfo export " +
                                                msitest::Quote(package::Path()) + " " + msitest::Quote(table)));
    const TableText host = Parse(msitest::HostExport(m_db, msitest::W(table)));
    EXPECT_EQ(tool.header, host.header) << table;
    EXPECT_EQ(tool.rows.size(), host.rows.size()) << table;
    EXPECT_TRUE(tool.rows == host.rows) << table << ": msiinfo and hostwin read different rows";
  }
  EXPECT_TRUE(testenv::ReadFile(work + "/Binary/Binary.Download2") == testenv::ReadFile(package::LibraryPath()))
      << "msiinfo reads another Download2";
}

TEST_F(PackageViews, EveryTableIsItsIdtSource) {
  std::vector<std::string> names;
  for (const auto &entry : std::filesystem::directory_iterator(package::TablesDir())) {
    if (entry.path().extension() == ".idt" && entry.path().stem() != "_SummaryInformation") {
      names.push_back(entry.path().stem().string());
    }
  }
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, msitest::HostTables(m_db));

  for (const std::string &table : names) {
    TableText source = Parse(testenv::ReadFile(package::TablesDir() + "/" + table + ".idt"));
    TableText built = Parse(msitest::HostExport(m_db, msitest::W(table)));
    EXPECT_EQ(source.header, built.header) << table;
    if (table == "Binary") {
      // The Data cells name files at build time and streams in the package;
      // ExSource of the library names this build's output.
      for (auto *rows : {&source.rows, &built.rows}) {
        for (auto &row : *rows) {
          row[1] = "<stream>";
          if (row[0] == "Download2") row[2] = "<library>";
        }
      }
    }
    EXPECT_TRUE(source.rows == built.rows) << table << ": the package differs from " << table << ".idt";
  }
}

TEST_F(PackageViews, StringPoolIsCodePageNeutral) {
  const std::string codepage = msitest::ToolExport(package::Path(), "_ForceCodepage");
  EXPECT_NE(codepage.find("\n0\t_ForceCodepage"), std::string::npos) << codepage;
}

TEST_F(PackageViews, MsitoolsReadsTheSummaryInformation) {
  const std::string summary = msitest::Shell("msiinfo suminfo " + msitest::Quote(package::Path()));
  for (const char *line : {"Title: Installation Database", "Subject: Download", "Keywords: Installer,MSI,Database",
                           "Template: Intel;0", "Revision number (UUID): {AE3E50E8-4583-4EC7-8B26-23698D61DCBD}",
                           "Version: 200", "Source: 2", "Application: Installer Package Editor", "Security: 0"}) {
    EXPECT_NE(summary.find(line), std::string::npos) << line << " in\n" << summary;
  }
  // No character count: msibuild's own summary would have one.
  EXPECT_EQ(summary.find("Restrict"), std::string::npos) << summary;
}

}  // namespace
