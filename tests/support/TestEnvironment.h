// What every test process gets: a fresh hostwin prefix, runtime folder and
// transcript, removed again when the process ends; and helpers to run other
// programs and to read files.
#pragma once

#include <string>
#include <vector>

namespace testenv {

// The folder that holds this test process's prefix and scratch files.
const std::string &ScratchDir();
// The host folder of drive C: for this process.
std::string PrefixDir();
// A new empty folder under the scratch folder.
std::string MakeTempDir(const std::string &hint = "dir");

// Runs a program to its end; returns its exit status (-1 when it could not
// start, 128 + signal when killed). Its standard output goes to `output`
// when given.
int RunProgram(const std::vector<std::string> &argv, std::string *output = nullptr,
               const std::vector<std::string> &extraEnvironment = {});

// A program started in the background, killed when the object dies.
class BackgroundProgram {
 public:
  explicit BackgroundProgram(const std::vector<std::string> &argv);
  ~BackgroundProgram();
  BackgroundProgram(const BackgroundProgram &) = delete;
  BackgroundProgram &operator=(const BackgroundProgram &) = delete;
  // Reads one line of the program's standard output (without the line end);
  // empty at end of output.
  std::string ReadLine();
  // Closes the program's standard input and waits for it; its exit status.
  int Finish();
  bool started() const { return m_pid > 0; }

 private:
  int m_pid = -1;
  int m_in = -1;
  int m_out = -1;
};

std::string ReadFile(const std::string &path);
void WriteFile(const std::string &path, const std::string &contents);
bool FileExists(const std::string &path);

// The folder of the test programs and of the helper programs built beside them.
std::string BinaryDir();

}  // namespace testenv
