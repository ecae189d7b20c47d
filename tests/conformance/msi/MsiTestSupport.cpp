#include "MsiTestSupport.h"

#include "TestEnvironment.h"
#include "hw/text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

namespace msitest {

std::u16string W(const std::string &utf8) { return hw::Utf8ToUtf16(utf8); }
std::string U8(const std::u16string &text) { return hw::Utf16ToUtf8(text); }

std::string Quote(const std::string &word) {
  std::string out = "'";
  for (char c : word) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

std::string Shell(const std::string &command, int *status) {
  std::string output;
  const int rc = testenv::RunProgram({"/bin/sh", "-c", command}, &output);
  if (status) *status = rc;
  return output;
}

std::string BuildWithMsibuild(const std::map<std::string, std::string> &idts,
                              const std::map<std::string, std::string> &files) {
  const std::string dir = testenv::MakeTempDir("msibuild");
  std::string command = "cd " + Quote(dir) + " && msibuild out.msi";
  for (const auto &[name, text] : idts) {
    testenv::WriteFile(dir + "/" + name, text);
    command += " -i " + Quote(name);
  }
  for (const auto &[name, content] : files) {
    const size_t slash = name.rfind('/');
    if (slash != std::string::npos) Shell("mkdir -p " + Quote(dir + "/" + name.substr(0, slash)));
    testenv::WriteFile(dir + "/" + name, content);
  }
  int status = 0;
  Shell(command + " 2>&1", &status);
  EXPECT_EQ(status, 0) << command;
  return dir + "/out.msi";
}

std::string ToolExport(const std::string &path, const std::string &table) {
  // msiinfo writes the streams of a table's stream cells into the current
  // folder: keep them in a scratch folder.
  static const std::string scratch = testenv::MakeTempDir("msiinfo");
  return Shell("cd " + Quote(scratch) + " && msiinfo export " + Quote(path) + " " + Quote(table));
}

std::string FieldText(MSIHANDLE record, UINT field) {
  DWORD size = 0;
  WCHAR probe[1];
  MsiRecordGetStringW(record, field, probe, &size);
  std::u16string text(size + 1, u'\0');
  size += 1;
  EXPECT_EQ(MsiRecordGetStringW(record, field, text.data(), &size), static_cast<UINT>(ERROR_SUCCESS));
  text.resize(size);
  return U8(text);
}

std::string HostExport(MSIHANDLE db, const std::u16string &table) {
  const std::u16string sql = u"SELECT * FROM `" + table + u"`";
  Handle view;
  if (MsiDatabaseOpenViewW(db, reinterpret_cast<LPCWSTR>(sql.c_str()), &view) != ERROR_SUCCESS) return "<no view>";
  Handle names, types, keys;
  MsiViewGetColumnInfo(view, MSICOLINFO_NAMES, &names);
  MsiViewGetColumnInfo(view, MSICOLINFO_TYPES, &types);
  MsiDatabaseGetPrimaryKeysW(db, reinterpret_cast<LPCWSTR>(table.c_str()), &keys);
  const UINT count = MsiRecordGetFieldCount(names);
  std::string out;
  auto line = [&](MSIHANDLE record, UINT first, UINT last) {
    for (UINT i = first; i <= last; ++i) out += (i > first ? "\t" : "") + FieldText(record, i);
    out += "\r\n";
  };
  line(names, 1, count);
  line(types, 1, count);
  line(keys, 0, MsiRecordGetFieldCount(keys));
  EXPECT_EQ(MsiViewExecute(view, 0), static_cast<UINT>(ERROR_SUCCESS));
  std::vector<std::string> rows;
  for (;;) {
    Handle row;
    if (MsiViewFetch(view, &row) != ERROR_SUCCESS) break;
    std::string text;
    for (UINT i = 1; i <= count; ++i) {
      std::string cell = FieldText(row, i);
      DWORD size = 0;
      // A stream cell exports as the name of its stream.
      if (!MsiRecordIsNull(row, i) && MsiRecordReadStream(row, i, nullptr, &size) == ERROR_SUCCESS &&
          (FieldText(types, i)[0] | 0x20) == 'v') {
        cell = U8(table);
        for (UINT k = 1; k <= MsiRecordGetFieldCount(keys); ++k) cell += "." + FieldText(row, k);
      }
      text += (i > 1 ? "\t" : "") + cell;
    }
    out += text + "\r\n";
  }
  return out;
}

std::vector<std::string> ToolTables(const std::string &path) {
  std::istringstream in(Shell("msiinfo tables " + Quote(path)));
  std::vector<std::string> tables;
  for (std::string line; std::getline(in, line);) {
    if (line != "_SummaryInformation" && line != "_ForceCodepage" && !line.empty()) tables.push_back(line);
  }
  std::sort(tables.begin(), tables.end());
  return tables;
}

std::vector<std::string> HostTables(MSIHANDLE db) {
  std::vector<std::string> tables;
  for (const auto &row : Query(db, "SELECT `Name` FROM `_Tables`")) tables.push_back(row[0]);
  std::sort(tables.begin(), tables.end());
  return tables;
}

MSIHANDLE OpenDb(const std::string &path, LPCWSTR mode) {
  MSIHANDLE db = 0;
  const std::u16string wide = W(path);
  EXPECT_EQ(MsiOpenDatabaseW(reinterpret_cast<LPCWSTR>(wide.c_str()), mode, &db), static_cast<UINT>(ERROR_SUCCESS))
      << path;
  return db;
}

std::vector<std::vector<std::string>> Query(MSIHANDLE db, const std::string &sql) {
  std::vector<std::vector<std::string>> rows;
  const std::u16string wide = W(sql);
  Handle view;
  EXPECT_EQ(MsiDatabaseOpenViewW(db, reinterpret_cast<LPCWSTR>(wide.c_str()), &view),
            static_cast<UINT>(ERROR_SUCCESS))
      << sql;
  EXPECT_EQ(MsiViewExecute(view, 0), static_cast<UINT>(ERROR_SUCCESS)) << sql;
  for (;;) {
    Handle record;
    const UINT rc = MsiViewFetch(view, &record);
    if (rc != ERROR_SUCCESS) {
      EXPECT_EQ(rc, static_cast<UINT>(ERROR_NO_MORE_ITEMS));
      break;
    }
    std::vector<std::string> row;
    for (UINT i = 1; i <= MsiRecordGetFieldCount(record); ++i) {
      row.push_back(MsiRecordIsNull(record, i) ? "<null>" : FieldText(record, i));
    }
    rows.push_back(row);
  }
  MsiViewClose(view);
  return rows;
}

UINT Exec(MSIHANDLE db, const std::string &sql, MSIHANDLE params) {
  const std::u16string wide = W(sql);
  Handle view;
  const UINT rc = MsiDatabaseOpenViewW(db, reinterpret_cast<LPCWSTR>(wide.c_str()), &view);
  if (rc != ERROR_SUCCESS) return rc;
  const UINT result = MsiViewExecute(view, params);
  MsiViewClose(view);
  return result;
}

}  // namespace msitest
