// The process's arguments as the host gives them, and test hooks to replace
// them.
#pragma once

#include <windef.h>

#include <string>
#include <vector>

namespace hw {

// The UTF-16 arguments of this process (from the host's UTF-8 arguments;
// invalid UTF-8 becomes U+FFFD). Argument 0 is the program.
const std::vector<std::u16string> &ProcessArguments();
// Replaces the arguments seen by GetCommandLineW, __wargv and
// CommandLineToArgvW(GetCommandLineW()). For tests.
void SetProcessArguments(const std::vector<std::u16string> &arguments);
// Quotes arguments into one command line that CommandLineToArgvW splits back
// into the same arguments.
std::u16string JoinCommandLine(const std::vector<std::u16string> &arguments);
// Splits a command line by the platform's rules (double quotes group blanks,
// backslashes escape quotes as the C runtime reads them).
std::vector<std::u16string> SplitCommandLine(std::u16string_view commandLine);

}  // namespace hw
