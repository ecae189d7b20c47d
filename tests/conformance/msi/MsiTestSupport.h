// Helpers of the installer database tests: databases built by the
// independent tools (msibuild, wixl), their view of a database (msiinfo),
// and the same view through hostwin's API, to compare the two.
#pragma once

#include <windows.h>
#include <msiquery.h>

#include <map>
#include <string>
#include <vector>

namespace msitest {

// A handle closed at the end of the scope.
class Handle {
 public:
  Handle() = default;
  explicit Handle(MSIHANDLE h) : m_h(h) {}
  ~Handle() { MsiCloseHandle(m_h); }
  Handle(const Handle &) = delete;
  Handle &operator=(const Handle &) = delete;
  MSIHANDLE *operator&() { return &m_h; }
  operator MSIHANDLE() const { return m_h; }

 private:
  MSIHANDLE m_h = 0;
};

std::u16string W(const std::string &utf8);
std::string U8(const std::u16string &text);

// Runs a shell command line; its standard output, and its status in `status`.
std::string Shell(const std::string &command, int *status = nullptr);
// Quotes a word for the shell.
std::string Quote(const std::string &word);

// Builds a database with msibuild from IDT texts (file name -> content),
// in a new folder that also holds `files` (relative path -> content) for
// stream cells. Returns the database's host path.
std::string BuildWithMsibuild(const std::map<std::string, std::string> &idts,
                              const std::map<std::string, std::string> &files = {});

// The table as `msiinfo export` writes it (paths must be absolute), and the
// same through hostwin.
std::string ToolExport(const std::string &path, const std::string &table);
std::string HostExport(MSIHANDLE db, const std::u16string &table);
// The tables, as msiinfo lists them (without the summary and code page
// pseudo-tables) and as _Tables holds them.
std::vector<std::string> ToolTables(const std::string &path);
std::vector<std::string> HostTables(MSIHANDLE db);

// Opens with a mode; fails the test on error.
MSIHANDLE OpenDb(const std::string &path, LPCWSTR mode);
// All rows of a query, each field as text ("<null>" for null).
std::vector<std::vector<std::string>> Query(MSIHANDLE db, const std::string &sql);
// Runs a statement that fetches nothing; its result.
UINT Exec(MSIHANDLE db, const std::string &sql, MSIHANDLE params = 0);
// A record field as UTF-8.
std::string FieldText(MSIHANDLE record, UINT field);

}  // namespace msitest
