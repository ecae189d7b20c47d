// The resource-script statements this system uses: LANGUAGE, STRINGTABLE,
// RCDATA and user types (from a file or inline data), ICON, BITMAP, HTML
// and VERSIONINFO.
#pragma once

#include "Lexer.h"
#include "Resource.h"

#include <functional>
#include <string>
#include <vector>

namespace rc {

// Finds a file named in the script (relative names: beside the script,
// then in the include folders); returns its path or an empty string.
using FileFinder = std::function<std::string(const std::string &name, const SourceLine &where)>;

// Compiles the tokens into resources. Throws CompileError.
std::vector<Resource> Compile(const std::vector<Token> &tokens, const FileFinder &findFile);

}  // namespace rc
