// Modules as hostwin sees them: the program and each loaded shared object,
// named by an HMODULE that is the module's load address, as on Windows.
#pragma once

#include <windef.h>

#include <string>

namespace hw {

// The module that holds the given code or data address (null when none).
HMODULE ModuleFromAddress(const void *address);
// The host path of a module's file, empty when unknown.
std::string ModuleHostPath(HMODULE module);
// The folder that holds the hostwin modules (libhw_*.so).
std::string HostwinLibraryDir();

}  // namespace hw
