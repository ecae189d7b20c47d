// The host's configuration, read from HOSTWIN_ environment variables (see
// hostwin/README.md). Values are read at each call so that a test can change
// them between calls.
#pragma once

#include <windef.h>

#include <string>

namespace hw {

enum class Arch { X86, X64, X86OnX64, Ia64 };

struct WindowsVersion {
  DWORD major;
  DWORD minor;
  DWORD build;
};

// The folder that stands for drive C:, created with its standard folders on
// first use. Never ends in '/'.
std::string Prefix();
// The user name (HOSTWIN_USER, else the host's login name).
std::u16string UserName();
WindowsVersion Version();
Arch Architecture();
// The folder for cross-process objects of this prefix (mutexes, atoms): on a
// memory file system, so that it does not outlive a reboot.
std::string RuntimeDir();
// Value of an environment variable, empty when unset.
std::string Env(const char *name);

// Windows paths of the prefix's standard folders.
std::u16string WindowsDirectory();        // C:\windows
std::u16string SystemDirectory();         // C:\windows\system32 (the process's view)
std::u16string UserProfileDirectory();    // C:\users\<name>
std::u16string TempDirectory();           // C:\users\<name>\Temp\ (with the backslash)

}  // namespace hw
