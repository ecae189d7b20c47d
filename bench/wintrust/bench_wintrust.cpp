// Verifying large signed files: the host's trust service against
// `osslsigncode verify` on the same files, each run as its own process so
// that its time and peak memory (max RSS) can be compared, for a 16 MB and
// a 256 MB PE image and installation database. The trust service is also
// timed in-process. Memory that does not grow with the file size shows as
// the same max_rss_MB at 16 and 256 MB.
#include "PeWriter.h"
#include "SigningFixtures.h"
#include "TestEnvironment.h"
#include "hw/authenticode.h"

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <ctime>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

extern char **environ;

namespace {

constexpr uint64_t kMegabyte = 1 << 20;

// The fixtures, made once: the PKI and a signed (RFC 3161) file per form
// and size.
class Files {
 public:
  static Files &Get() {
    static Files *files = new Files;
    return *files;
  }
  ~Files() = default;

  const testsign::TestPki &pki() const { return *m_pki; }
  const std::string &Path(bool database, uint64_t megabytes) {
    std::string &path = m_paths[{database, megabytes}];
    if (path.empty()) path = Make(database, megabytes);
    return path;
  }
  std::string Folder() const { return m_folder; }

 private:
  Files() : m_folder(testenv::MakeTempDir("bench-wintrust")) {
    m_pki = std::make_unique<testsign::TestPki>(m_folder + "/pki");
    setenv("HOSTWIN_TRUSTED_ROOTS", m_pki->trustedRootsPath.c_str(), 1);
    setenv("HOSTWIN_SYSTEM_ROOTS", "none", 1);
    setenv("HOSTWIN_PREFIX", (m_folder + "/prefix").c_str(), 1);
  }

  std::string Make(bool database, uint64_t megabytes) {
    const std::string base = m_folder + "/" + std::to_string(megabytes) + (database ? "mb.msi" : "mb.exe");
    const std::string unsignedFile = base + ".unsigned";
    bool made;
    if (database) {
      made = testsign::WriteDatabase(unsignedFile, "Benchmark", "BENCH", megabytes * kMegabyte);
    } else {
      testsign::PeOptions options;
      options.codeSize = megabytes * kMegabyte;
      made = testsign::WritePe(unsignedFile, options);
    }
    testsign::SignOptions options;
    options.timestamp = testsign::Timestamp::kRfc3161;
    std::string log;
    if (!made || !testsign::Sign(*m_pki, m_pki->signer, unsignedFile, base, options, &log)) {
      fprintf(stderr, "cannot make %s\n%s\n", base.c_str(), log.c_str());
      abort();
    }
    std::filesystem::remove(unsignedFile);
    return base;
  }

  std::string m_folder;
  std::unique_ptr<testsign::TestPki> m_pki;
  std::map<std::pair<bool, uint64_t>, std::string> m_paths;
};

struct ChildRun {
  int status = -1;
  long maxRssKb = 0;
};

ChildRun RunChild(const std::vector<std::string> &argv) {
  std::vector<char *> args;
  for (const std::string &arg : argv) args.push_back(const_cast<char *>(arg.c_str()));
  args.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  ChildRun run;
  pid_t pid = -1;
  if (posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ) == 0) {
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.maxRssKb = usage.ru_maxrss;
  }
  posix_spawn_file_actions_destroy(&actions);
  return run;
}

void RunVerifierProcess(benchmark::State &state, bool osslsigncode) {
  const bool database = state.range(0) != 0;
  const uint64_t megabytes = static_cast<uint64_t>(state.range(1));
  Files &files = Files::Get();
  const std::string &path = files.Path(database, megabytes);
  std::vector<std::string> argv =
      osslsigncode ? std::vector<std::string>{testsign::FindProgram("osslsigncode"), "verify", "-CAfile",
                                              files.pki().root.certPath, "-TSA-CAfile", files.pki().tsaRoot.certPath,
                                              "-in", path}
                   : std::vector<std::string>{testenv::BinaryDir() + "/wintrust_verify_file", path};
  long maxRss = 0;
  for (auto _ : state) {
    ChildRun run = RunChild(argv);
    if (run.status != 0) {
      state.SkipWithError("the file did not verify");
      break;
    }
    maxRss = std::max(maxRss, run.maxRssKb);
  }
  state.counters["max_rss_MB"] = static_cast<double>(maxRss) / 1024.0;
  state.counters["MB_per_s"] = benchmark::Counter(static_cast<double>(megabytes), benchmark::Counter::kIsIterationInvariantRate);
  state.SetLabel(database ? "database" : "PE image");
}

void BM_HostVerifierProcess(benchmark::State &state) { RunVerifierProcess(state, false); }
void BM_OsslsigncodeVerify(benchmark::State &state) { RunVerifierProcess(state, true); }

void BM_VerifyFileInProcess(benchmark::State &state) {
  const bool database = state.range(0) != 0;
  const uint64_t megabytes = static_cast<uint64_t>(state.range(1));
  const std::string &path = Files::Get().Path(database, megabytes);
  hw::X509StorePtr roots = hw::LoadTrustedRoots();
  for (auto _ : state) {
    hw::trust::FileSource file(path);
    hw::trust::Verdict verdict = hw::trust::VerifyFile(file, roots.get(), time(nullptr));
    if (verdict.result != S_OK) {
      state.SkipWithError("the file did not verify");
      break;
    }
  }
  state.counters["MB_per_s"] = benchmark::Counter(static_cast<double>(megabytes), benchmark::Counter::kIsIterationInvariantRate);
  state.SetLabel(database ? "database" : "PE image");
}

// {database?, megabytes}
void Sizes(benchmark::internal::Benchmark *b) {
  for (int database : {0, 1}) {
    for (int megabytes : {16, 256}) b->Args({database, megabytes});
  }
  b->ArgNames({"database", "MB"})->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
}

BENCHMARK(BM_VerifyFileInProcess)->Apply(Sizes);
BENCHMARK(BM_HostVerifierProcess)->Apply(Sizes);
BENCHMARK(BM_OsslsigncodeVerify)->Apply(Sizes);

}  // namespace

int main(int argc, char **argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::error_code ec;
  std::filesystem::remove_all(Files::Get().Folder(), ec);
  std::filesystem::remove_all(testenv::ScratchDir(), ec);
  return 0;
}
