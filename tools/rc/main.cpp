// The host resource compiler: compiles a resource script into a C++ file
// that registers the module's resources with hostwin.
//
//   orv_rc --cpp <C compiler> [-I <dir>]... [-D <name[=value]>]...
//          -o <out.cpp> [--depfile <out.d>] <script.rc>
//
// A fault in the script is reported as "<file>:<line>: error: <message>"
// and fails the run without leaving an output file.
#include "Emit.h"
#include "Lexer.h"
#include "Parser.h"
#include "Preprocess.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>

namespace {

bool IsFile(const std::string &path) {
  struct stat st{};
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string Directory(const std::string &path) {
  size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? "." : path.substr(0, slash);
}

// Writes the file under a temporary name and renames it into place.
bool WriteWhole(const std::string &path, const std::string &contents) {
  std::string temp = path + ".tmp";
  {
    std::ofstream file(temp, std::ios::binary | std::ios::trunc);
    if (!file) return false;
    file << contents;
    if (!file.flush()) return false;
  }
  return rename(temp.c_str(), path.c_str()) == 0;
}

std::string EscapeForMake(const std::string &path) {
  std::string out;
  for (char c : path) {
    if (c == ' ' || c == '#' || c == '\\') out.push_back('\\');
    if (c == '$') out.push_back('$');
    out.push_back(c);
  }
  return out;
}

int Usage() {
  std::cerr << "usage: orv_rc --cpp <compiler> [-I dir]... [-D name[=value]]... -o out.cpp [--depfile out.d] script.rc\n";
  return 2;
}

}  // namespace

int main(int argc, char **argv) {
  rc::PreprocessOptions options;
  std::string output, depfile, script;
  for (int k = 1; k < argc; ++k) {
    std::string arg = argv[k];
    auto value = [&]() -> std::string { return k + 1 < argc ? argv[++k] : std::string(); };
    if (arg == "--cpp") {
      options.compiler = value();
    } else if (arg == "-I") {
      options.includeDirs.push_back(value());
    } else if (arg.rfind("-I", 0) == 0) {
      options.includeDirs.push_back(arg.substr(2));
    } else if (arg == "-D") {
      options.defines.push_back(value());
    } else if (arg.rfind("-D", 0) == 0) {
      options.defines.push_back(arg.substr(2));
    } else if (arg == "-o") {
      output = value();
    } else if (arg == "--depfile") {
      depfile = value();
    } else if (!arg.empty() && arg[0] != '-' && script.empty()) {
      script = arg;
    } else {
      return Usage();
    }
  }
  if (options.compiler.empty() || output.empty() || script.empty()) return Usage();

  std::vector<std::string> dependencies = {script};
  try {
    std::vector<rc::SourceLine> lines = rc::Preprocess(script, options, dependencies);
    std::vector<rc::Token> tokens = rc::Tokenize(lines);
    rc::FileFinder findFile = [&](const std::string &name, const rc::SourceLine &where) -> std::string {
      std::vector<std::string> candidates;
      if (!name.empty() && name[0] == '/') {
        candidates.push_back(name);
      } else {
        candidates.push_back(Directory(where.file) + "/" + name);
        candidates.push_back(Directory(script) + "/" + name);
        for (const std::string &dir : options.includeDirs) candidates.push_back(dir + "/" + name);
      }
      for (const std::string &candidate : candidates) {
        if (IsFile(candidate)) {
          dependencies.push_back(candidate);
          return candidate;
        }
      }
      return std::string();
    };
    std::vector<rc::Resource> resources = rc::Compile(tokens, findFile);
    if (!WriteWhole(output, rc::EmitTable(resources, script))) {
      std::cerr << output << ": error: cannot write the output: " << strerror(errno) << "\n";
      return 1;
    }
  } catch (const rc::CompileError &error) {
    std::cerr << (error.file.empty() ? script : error.file);
    if (error.line > 0) std::cerr << ":" << error.line;
    std::cerr << ": error: " << error.message << "\n";
    remove(output.c_str());
    return 1;
  }
  if (!depfile.empty()) {
    std::string rule = EscapeForMake(output) + ":";
    for (const std::string &dependency : dependencies) rule += " \\\n  " + EscapeForMake(dependency);
    if (!WriteWhole(depfile, rule + "\n")) {
      std::cerr << depfile << ": error: cannot write the dependency file\n";
      return 1;
    }
  }
  return 0;
}
