// Opens arbitrary bytes as an installation database and reads everything in
// it: every table's rows and fields (streams included), the streams and the
// summary information. What opens must also write: the database is
// committed to a second file, which must open again with the same content.
#include <windows.h>
#include <msiquery.h>
#include <wtypes.h>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <cstdio>
#include <string>
#include <vector>

namespace {

struct Scratch {
  std::string dir;
  std::u16string input, output;
};

std::u16string Wide(const std::string &s) { return std::u16string(s.begin(), s.end()); }

const Scratch &TheScratch() {
  static Scratch *scratch = [] {
    auto *s = new Scratch;
    char pattern[] = "/dev/shm/fuzz-msi-XXXXXX";
    const char *made = mkdtemp(pattern);
    s->dir = made ? made : "/tmp";
    setenv("HOSTWIN_PREFIX", (s->dir + "/prefix").c_str(), 1);
    setenv("HOSTWIN_RUNTIME_DIR", (s->dir + "/runtime").c_str(), 1);
    std::atexit([] { std::filesystem::remove_all(TheScratch().dir); });
    s->input = Wide(s->dir + "/input.msi");
    s->output = Wide(s->dir + "/output.msi");
    return s;
  }();
  return *scratch;
}

void WriteInput(const std::u16string &path, const uint8_t *data, size_t size) {
  const std::string host(path.begin(), path.end());
  const int fd = open(host.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  if (fd < 0) abort();
  if (size && write(fd, data, size) != static_cast<ssize_t>(size)) abort();
  close(fd);
}

std::u16string FieldText(MSIHANDLE record, UINT field) {
  DWORD size = 0;
  MsiRecordGetStringW(record, field, nullptr, &size);
  std::u16string text(size + 1, u'\0');
  size += 1;
  if (MsiRecordGetStringW(record, field, text.data(), &size) != ERROR_SUCCESS) abort();
  text.resize(size);
  // A small buffer must report the length needed.
  if (!text.empty()) {
    WCHAR small[1];
    DWORD one = 1;
    if (MsiRecordGetStringW(record, field, small, &one) != ERROR_MORE_DATA || one != text.size()) abort();
  }
  return text;
}

std::string StreamBytes(MSIHANDLE record, UINT field) {
  DWORD size = 0;
  if (MsiRecordReadStream(record, field, nullptr, &size) != ERROR_SUCCESS) return "<not a stream>";
  std::string data(size, '\0');
  if (MsiRecordReadStream(record, field, data.data(), &size) != ERROR_SUCCESS) abort();
  data.resize(size);
  return data;
}

std::vector<std::u16string> Query(MSIHANDLE db, const std::u16string &sql) {
  std::vector<std::u16string> rows;
  MSIHANDLE view = 0;
  if (MsiDatabaseOpenViewW(db, sql.c_str(), &view) != ERROR_SUCCESS) return {u"<no view>"};
  if (MsiViewExecute(view, 0) != ERROR_SUCCESS) abort();
  for (MSIHANDLE record = 0; MsiViewFetch(view, &record) == ERROR_SUCCESS;) {
    std::u16string row;
    const UINT count = MsiRecordGetFieldCount(record);
    for (UINT i = 1; i <= count; ++i) {
      row += FieldText(record, i);
      const std::string bytes = StreamBytes(record, i);
      row.append(bytes.begin(), bytes.end());
      row += u'\t';
    }
    rows.push_back(row);
    MsiCloseHandle(record);
  }
  MsiViewClose(view);
  MsiCloseHandle(view);
  std::sort(rows.begin(), rows.end());
  return rows;
}

// Everything the database holds, in an order that does not depend on how
// rows are stored.
std::vector<std::u16string> Content(MSIHANDLE db) {
  std::vector<std::u16string> content;
  for (const std::u16string &row : Query(db, u"SELECT `Name` FROM `_Tables`")) {
    const std::u16string table = row.substr(0, row.size() - 1);
    if (table.find(u'`') != std::u16string::npos) continue;
    content.push_back(u"table " + table);
    for (const std::u16string &r : Query(db, u"SELECT * FROM `" + table + u"`")) content.push_back(r);
  }
  for (const std::u16string &r : Query(db, u"SELECT * FROM `_Columns`")) content.push_back(r);
  for (const std::u16string &r : Query(db, u"SELECT * FROM `_Streams`")) content.push_back(r);
  MSIHANDLE summary = 0;
  if (MsiGetSummaryInformationW(db, nullptr, 0, &summary) != ERROR_SUCCESS) abort();
  for (UINT pid = 1; pid <= 19; ++pid) {
    UINT type = 0;
    INT value = 0;
    FILETIME time = {};
    WCHAR text[64];
    DWORD size = 64;
    const UINT rc = MsiSummaryInfoGetPropertyW(summary, pid, &type, &value, &time, text, &size);
    if (rc == ERROR_UNKNOWN_PROPERTY) continue;
    if (rc != ERROR_SUCCESS && rc != ERROR_MORE_DATA) abort();
    std::u16string line = u"summary " + Wide(std::to_string(pid) + " " + std::to_string(type) + " " +
                                             std::to_string(value) + " " + std::to_string(time.dwLowDateTime));
    if (type == VT_LPSTR) line += std::u16string(text, std::min<DWORD>(size, 63));
    content.push_back(line);
  }
  MsiCloseHandle(summary);
  return content;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const Scratch &scratch = TheScratch();
  WriteInput(scratch.input, data, size);
  MSIHANDLE db = 0;
  if (MsiOpenDatabaseW(scratch.input.c_str(), scratch.output.c_str(), &db) != ERROR_SUCCESS) return 0;
  const std::vector<std::u16string> before = Content(db);
  const UINT committed = MsiDatabaseCommit(db);
  MsiCloseHandle(db);
  if (committed != ERROR_SUCCESS) return 0;
  MSIHANDLE again = 0;
  if (MsiOpenDatabaseW(scratch.output.c_str(), MSIDBOPEN_READONLY, &again) != ERROR_SUCCESS) abort();
  if (Content(again) != before) abort();
  MsiCloseHandle(again);
  return 0;
}
