#include "TestEnvironment.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

extern char **environ;

namespace testenv {
namespace {

std::string CreateScratch() {
  const char *base = getenv("TMPDIR");
  std::string pattern = std::string(base && *base ? base : "/tmp") + "/orv-test-XXXXXX";
  if (!mkdtemp(pattern.data())) {
    perror("mkdtemp");
    abort();
  }
  return pattern;
}

std::vector<char *> ArgvPointers(const std::vector<std::string> &argv) {
  std::vector<char *> pointers;
  for (const auto &arg : argv) pointers.push_back(const_cast<char *>(arg.c_str()));
  pointers.push_back(nullptr);
  return pointers;
}

std::vector<std::string> Environment(const std::vector<std::string> &extra) {
  std::vector<std::string> env;
  for (char **e = environ; *e; ++e) env.emplace_back(*e);
  for (const auto &item : extra) {
    std::string name = item.substr(0, item.find('=') + 1);
    for (auto it = env.begin(); it != env.end();) {
      it = it->rfind(name, 0) == 0 ? env.erase(it) : it + 1;
    }
    env.push_back(item);
  }
  return env;
}

}  // namespace

const std::string &ScratchDir() {
  static const std::string dir = CreateScratch();
  return dir;
}

std::string PrefixDir() { return ScratchDir() + "/prefix"; }

std::string MakeTempDir(const std::string &hint) {
  std::string pattern = ScratchDir() + "/" + hint + "-XXXXXX";
  if (!mkdtemp(pattern.data())) abort();
  return pattern;
}

int RunProgram(const std::vector<std::string> &argv, std::string *output,
               const std::vector<std::string> &extraEnvironment) {
  int pipeFds[2] = {-1, -1};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (output) {
    if (pipe(pipeFds) != 0) return -1;
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
  }
  auto args = ArgvPointers(argv);
  auto env = Environment(extraEnvironment);
  auto envp = ArgvPointers(env);
  pid_t pid = -1;
  int rc = posix_spawn(&pid, argv[0].c_str(), &actions, nullptr, args.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (output) {
    close(pipeFds[1]);
    if (rc == 0) {
      char buffer[4096];
      for (ssize_t n; (n = read(pipeFds[0], buffer, sizeof buffer)) > 0;) output->append(buffer, static_cast<size_t>(n));
    }
    close(pipeFds[0]);
  }
  if (rc != 0) return -1;
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
  }
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : -1;
}

BackgroundProgram::BackgroundProgram(const std::vector<std::string> &argv) {
  int in[2], out[2];
  if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0) return;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in[0], 0);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  auto args = ArgvPointers(argv);
  pid_t pid = -1;
  if (posix_spawn(&pid, argv[0].c_str(), &actions, nullptr, args.data(), environ) == 0) m_pid = pid;
  posix_spawn_file_actions_destroy(&actions);
  close(in[0]);
  close(out[1]);
  m_in = in[1];
  m_out = out[0];
}

BackgroundProgram::~BackgroundProgram() {
  if (m_pid > 0) {
    kill(m_pid, SIGKILL);
    waitpid(m_pid, nullptr, 0);
  }
  if (m_in >= 0) close(m_in);
  if (m_out >= 0) close(m_out);
}

std::string BackgroundProgram::ReadLine() {
  std::string line;
  char c;
  while (m_out >= 0 && read(m_out, &c, 1) == 1 && c != '\n') line += c;
  return line;
}

int BackgroundProgram::Finish() {
  if (m_in >= 0) {
    close(m_in);
    m_in = -1;
  }
  if (m_pid <= 0) return -1;
  int status = 0;
  waitpid(m_pid, &status, 0);
  m_pid = -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string ReadFile(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string &path, const std::string &contents) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << contents;
}

bool FileExists(const std::string &path) {
  struct stat st{};
  return stat(path.c_str(), &st) == 0;
}

std::string BinaryDir() {
  char buffer[4096];
  ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  std::string self = n > 0 ? std::string(buffer, static_cast<size_t>(n)) : std::string(".");
  return self.substr(0, self.find_last_of('/'));
}

}  // namespace testenv
