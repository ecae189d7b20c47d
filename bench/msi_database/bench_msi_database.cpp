// Installation database speed on a package of about 300 KB (the size of the
// download package): open, one CMsiPackage::SetProperty cycle (open,
// validate, replace, commit, close) and a commit on its own.
#include "setup/MsiPackage.h"

#include <msiquery.h>

#include <benchmark/benchmark.h>

#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

namespace {

std::u16string Wide(const std::string &s) { return std::u16string(s.begin(), s.end()); }

// The scratch folder goes when the program ends.
struct ScratchDir {
  std::string path;
  ~ScratchDir() {
    if (!path.empty()) std::filesystem::remove_all(path);
  }
};
ScratchDir g_scratch;

UINT Exec(MSIHANDLE db, const std::u16string &sql, MSIHANDLE params = 0) {
  MSIHANDLE view = 0;
  UINT rc = MsiDatabaseOpenViewW(db, sql.c_str(), &view);
  if (rc == ERROR_SUCCESS) rc = MsiViewExecute(view, params);
  MsiViewClose(view);
  MsiCloseHandle(view);
  return rc;
}

// A package like the download package: a few hundred rows in several
// tables, a _Validation table, and a library of about 250 KB in Binary.
const std::u16string &Package() {
  static std::u16string path = [] {
    // ORV_BENCH_DIR chooses the file system (a disk by default; commits
    // flush to it, which is most of their time there).
    const char *base = getenv("ORV_BENCH_DIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/bench-msi-XXXXXX";
    const std::string dir = mkdtemp(pattern.data());
    g_scratch.path = dir;
    setenv("HOSTWIN_PREFIX", (dir + "/prefix").c_str(), 1);
    setenv("HOSTWIN_RUNTIME_DIR", (dir + "/runtime").c_str(), 1);
    setenv("HOSTWIN_WINVER", "5.1", 1);  // keep the script engine repair out of the timings
    const std::string file = dir + "/package.msi";
    std::string payload(250 * 1024, '\0');
    for (size_t i = 0; i < payload.size(); ++i) payload[i] = static_cast<char>((i * 2654435761u) >> 13);
    const std::string payloadFile = dir + "/payload.bin";
    FILE *f = fopen(payloadFile.c_str(), "wb");
    fwrite(payload.data(), 1, payload.size(), f);
    fclose(f);
    MSIHANDLE db = 0;
    MsiOpenDatabaseW(Wide(file).c_str(), MSIDBOPEN_CREATE, &db);
    Exec(db, u"CREATE TABLE `Property` (`Property` CHAR(72) NOT NULL, `Value` LONGCHAR NOT NULL LOCALIZABLE PRIMARY KEY `Property`)");
    Exec(db, u"CREATE TABLE `_Validation` (`Table` CHAR(32) NOT NULL, `Column` CHAR(32) NOT NULL, `Nullable` CHAR(4) NOT NULL, "
             u"`MinValue` LONG, `MaxValue` LONG, `KeyTable` CHAR(255), `KeyColumn` SHORT, `Category` CHAR(32), `Set` CHAR(255), "
             u"`Description` CHAR(255) PRIMARY KEY `Table`, `Column`)");
    Exec(db, u"CREATE TABLE `Binary` (`Name` CHAR(72) NOT NULL, `Data` OBJECT NOT NULL PRIMARY KEY `Name`)");
    Exec(db, u"CREATE TABLE `Control` (`Dialog_` CHAR(72) NOT NULL, `Control` CHAR(50) NOT NULL, `Type` CHAR(20) NOT NULL, "
             u"`X` SHORT NOT NULL, `Y` SHORT NOT NULL, `Width` SHORT NOT NULL, `Height` SHORT NOT NULL, `Attributes` LONG, "
             u"`Text` LONGCHAR LOCALIZABLE PRIMARY KEY `Dialog_`, `Control`)");
    Exec(db, u"INSERT INTO `_Validation` (`Table`, `Column`, `Nullable`, `Category`) VALUES ('Property', 'Property', 'N', 'Identifier')");
    Exec(db, u"INSERT INTO `_Validation` (`Table`, `Column`, `Nullable`, `Category`) VALUES ('Property', 'Value', 'N', 'Text')");
    for (int i = 0; i < 300; ++i) {
      Exec(db, u"INSERT INTO `Property` (`Property`, `Value`) VALUES ('PROPERTY_" + Wide(std::to_string(i)) +
                   u"', 'a value of moderate length number " + Wide(std::to_string(i)) + u"')");
    }
    for (int i = 0; i < 600; ++i) {
      Exec(db, u"INSERT INTO `Control` (`Dialog_`, `Control`, `Type`, `X`, `Y`, `Width`, `Height`, `Attributes`, `Text`) "
               u"VALUES ('Dialog" + Wide(std::to_string(i / 12)) + u"', 'Control" + Wide(std::to_string(i)) +
                   u"', 'PushButton', 10, 20, 56, 17, 3, 'Some text shown on control " + Wide(std::to_string(i)) + u"')");
    }
    MSIHANDLE params = MsiCreateRecord(1);
    MsiRecordSetStreamW(params, 1, Wide(payloadFile).c_str());
    Exec(db, u"INSERT INTO `Binary` (`Name`, `Data`) VALUES ('MsiDownload2', ?)", params);
    MsiCloseHandle(params);
    MsiDatabaseCommit(db);
    MsiCloseHandle(db);
    return Wide(file);
  }();
  return path;
}

void BM_Open(benchmark::State &state) {
  const std::u16string &path = Package();
  for (auto _ : state) {
    MSIHANDLE db = 0;
    if (MsiOpenDatabaseW(path.c_str(), MSIDBOPEN_READONLY, &db) != ERROR_SUCCESS) state.SkipWithError("open failed");
    MsiCloseHandle(db);
  }
}
BENCHMARK(BM_Open)->Unit(benchmark::kMicrosecond);

void BM_SetPropertyCycle(benchmark::State &state) {
  CMsiPackage package;
  package.m_strPackagePath = Package().c_str();
  int i = 0;
  for (auto _ : state) {
    CString value;
    value.Format(TEXT("http://example.invalid/%d/"), ++i);
    if (!package.SetProperty(TEXT("DOWNLOADPATH"), value)) state.SkipWithError("SetProperty failed");
  }
}
BENCHMARK(BM_SetPropertyCycle)->Unit(benchmark::kMicrosecond);

void BM_Commit(benchmark::State &state) {
  MSIHANDLE db = 0;
  MsiOpenDatabaseW(Package().c_str(), MSIDBOPEN_TRANSACT, &db);
  int i = 0;
  for (auto _ : state) {
    state.PauseTiming();
    Exec(db, u"UPDATE `Property` SET `Value` = 'v" + Wide(std::to_string(++i)) + u"' WHERE `Property` = 'PROPERTY_7'");
    state.ResumeTiming();
    if (MsiDatabaseCommit(db) != ERROR_SUCCESS) state.SkipWithError("commit failed");
  }
  MsiCloseHandle(db);
}
BENCHMARK(BM_Commit)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
