// Running the C preprocessor and reading its line markers.
#include "Preprocess.h"

#include "Resource.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

extern char **environ;

namespace rc {
namespace {

// Runs argv and returns its standard output; the exit status in `status`.
std::string RunCapture(const std::vector<std::string> &argv, int &status) {
  int pipeFds[2];
  if (pipe(pipeFds) != 0) throw CompileError{"", 0, std::string("pipe: ") + strerror(errno)};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
  std::vector<char *> args;
  for (const std::string &a : argv) args.push_back(const_cast<char *>(a.c_str()));
  args.push_back(nullptr);
  pid_t pid = 0;
  int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(pipeFds[1]);
  if (rc != 0) {
    close(pipeFds[0]);
    throw CompileError{"", 0, "cannot run the preprocessor " + argv[0] + ": " + strerror(rc)};
  }
  std::string output;
  char buffer[65536];
  for (;;) {
    ssize_t n = read(pipeFds[0], buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    output.append(buffer, static_cast<size_t>(n));
  }
  close(pipeFds[0]);
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return output;
}

std::string Directory(const std::string &path) {
  size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? "." : path.substr(0, slash);
}

}  // namespace

std::vector<SourceLine> SplitPreprocessed(const std::string &text, const std::string &script,
                                          std::vector<std::string> &files) {
  std::vector<SourceLine> lines;
  std::string file = script;
  int line = 1;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string content = text.substr(start, end - start);
    start = end + 1;
    // A line marker: # <line> "<file>" [flags]
    if (content.size() > 2 && content[0] == '#' && content[1] == ' ' && isdigit(static_cast<unsigned char>(content[2]))) {
      line = atoi(content.c_str() + 2);
      size_t open = content.find('"');
      size_t close = content.rfind('"');
      if (open != std::string::npos && close > open) {
        file = content.substr(open + 1, close - open - 1);
        if (!file.empty() && file[0] != '<' && std::find(files.begin(), files.end(), file) == files.end())
          files.push_back(file);
      }
      continue;
    }
    // #pragma lines (code_page) pass through the preprocessor; text is UTF-8.
    if (!content.empty() && content[0] == '#') {
      ++line;
      continue;
    }
    lines.push_back(SourceLine{file, line, content});
    ++line;
  }
  return lines;
}

std::vector<SourceLine> Preprocess(const std::string &script, const PreprocessOptions &options,
                                   std::vector<std::string> &files) {
  std::vector<std::string> argv = {options.compiler, "-E", "-x", "c", "-DRC_INVOKED", "-I" + Directory(script)};
  for (const std::string &dir : options.includeDirs) argv.push_back("-I" + dir);
  for (const std::string &define : options.defines) argv.push_back("-D" + define);
  argv.push_back(script);
  int status = 0;
  std::string output = RunCapture(argv, status);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
    throw CompileError{script, 0, "the preprocessor failed (its messages are above)"};
  return SplitPreprocessed(output, script, files);
}

}  // namespace rc
