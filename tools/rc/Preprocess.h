// The C preprocessor pass over a resource script (as rc and windres do it):
// #include, #define and #if, with line markers mapped back to the script.
#pragma once

#include <string>
#include <vector>

namespace rc {

struct SourceLine {
  std::string file;
  int line = 0;
  std::string text;
};

struct PreprocessOptions {
  std::string compiler;  // a C compiler that understands -E
  std::vector<std::string> includeDirs;
  std::vector<std::string> defines;
};

// Preprocesses the script. Throws CompileError when the preprocessor fails.
// `files` receives every file the preprocessor read (for the depfile).
std::vector<SourceLine> Preprocess(const std::string &script, const PreprocessOptions &options,
                                   std::vector<std::string> &files);

// Splits already preprocessed text (with "# line file" markers) into lines.
std::vector<SourceLine> SplitPreprocessed(const std::string &text, const std::string &script,
                                          std::vector<std::string> &files);

}  // namespace rc
