// The process's arguments: the host's UTF-8 argument vector in UTF-16, the
// command line that joins it, and the platform's rules for splitting one.
#include <winbase.h>

#include "hw/process.h"
#include "hw/text.h"

#include <fstream>
#include <iterator>
#include <mutex>

namespace hw {
namespace detail {

struct ProcessState {
  std::mutex lock;
  bool loaded = false;
  std::vector<std::u16string> arguments;
  std::u16string commandLine;
};

ProcessState &State() {
  static auto *state = new ProcessState;
  return *state;
}

std::vector<std::u16string> ReadHostArguments() {
  std::ifstream in("/proc/self/cmdline", std::ios::binary);
  std::string raw((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<std::u16string> arguments;
  size_t pos = 0;
  while (pos < raw.size()) {
    size_t end = raw.find('\0', pos);
    if (end == std::string::npos) end = raw.size();
    arguments.push_back(Utf8ToUtf16(std::string_view(raw).substr(pos, end - pos)));
    pos = end + 1;
  }
  if (arguments.empty()) arguments.push_back(u"");
  return arguments;
}

void EnsureLoaded(ProcessState &state) {
  if (state.loaded) return;
  state.arguments = ReadHostArguments();
  state.commandLine = JoinCommandLine(state.arguments);
  state.loaded = true;
}

}  // namespace detail

namespace {
using detail::ProcessState;
using detail::State;
using detail::EnsureLoaded;

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }

std::u16string QuoteArgument(const std::u16string &argument) {
  if (!argument.empty() && argument.find_first_of(u" \t\"") == std::u16string::npos) return argument;
  std::u16string quoted = u"\"";
  size_t backslashes = 0;
  for (char16_t c : argument) {
    if (c == u'\\') {
      ++backslashes;
      continue;
    }
    if (c == u'"') {
      quoted.append(backslashes * 2 + 1, u'\\');
    } else {
      quoted.append(backslashes, u'\\');
    }
    backslashes = 0;
    quoted += c;
  }
  quoted.append(backslashes * 2, u'\\');
  return quoted + u"\"";
}

}  // namespace

const std::vector<std::u16string> &ProcessArguments() {
  ProcessState &state = State();
  std::lock_guard<std::mutex> guard(state.lock);
  EnsureLoaded(state);
  return state.arguments;
}

void SetProcessArguments(const std::vector<std::u16string> &arguments) {
  ProcessState &state = State();
  std::lock_guard<std::mutex> guard(state.lock);
  state.arguments = arguments;
  if (state.arguments.empty()) state.arguments.push_back(u"");
  state.commandLine = JoinCommandLine(state.arguments);
  state.loaded = true;
}

std::u16string JoinCommandLine(const std::vector<std::u16string> &arguments) {
  std::u16string line;
  for (size_t k = 0; k < arguments.size(); ++k) {
    if (k == 0) {
      // The program's path is read up to the next quote, without escapes.
      const std::u16string &program = arguments[0];
      line = program.find_first_of(u" \t") != std::u16string::npos || program.empty() ? u"\"" + program + u"\""
                                                                                      : program;
    } else {
      line += u' ';
      line += QuoteArgument(arguments[k]);
    }
  }
  return line;
}

std::vector<std::u16string> SplitCommandLine(std::u16string_view line) {
  std::vector<std::u16string> arguments;
  size_t i = 0;
  // Argument 0: up to the closing quote, or up to the first blank.
  std::u16string program;
  if (i < line.size() && line[i] == u'"') {
    ++i;
    while (i < line.size() && line[i] != u'"') program += line[i++];
    if (i < line.size()) ++i;
  } else {
    while (i < line.size() && !IsBlank(line[i])) program += line[i++];
  }
  arguments.push_back(program);
  for (;;) {
    while (i < line.size() && IsBlank(line[i])) ++i;
    if (i >= line.size()) break;
    std::u16string argument;
    bool quoted = false;
    while (i < line.size() && (quoted || !IsBlank(line[i]))) {
      if (line[i] == u'\\') {
        size_t backslashes = 0;
        while (i < line.size() && line[i] == u'\\') {
          ++backslashes;
          ++i;
        }
        if (i < line.size() && line[i] == u'"') {
          argument.append(backslashes / 2, u'\\');
          if (backslashes % 2) {
            argument += u'"';
            ++i;
          }
        } else {
          argument.append(backslashes, u'\\');
        }
        continue;
      }
      if (line[i] == u'"') {
        if (quoted && i + 1 < line.size() && line[i + 1] == u'"') {
          argument += u'"';  // "" inside quotes is one quote
          i += 2;
          continue;
        }
        quoted = !quoted;
        ++i;
        continue;
      }
      argument += line[i++];
    }
    arguments.push_back(argument);
  }
  return arguments;
}

}  // namespace hw

extern "C" LPWSTR WINAPI GetCommandLineW(void) {
  hw::detail::ProcessState &state = hw::detail::State();
  std::lock_guard<std::mutex> guard(state.lock);
  hw::detail::EnsureLoaded(state);
  return state.commandLine.data();
}
