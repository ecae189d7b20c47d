// The emulated Windows version and processor, and the process's identity.
#include <winbase.h>

#include "hw/config.h"
#include "hw/text.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cstring>

namespace {

// The current-process pseudo handle, as Windows gives it.
const HANDLE kCurrentProcess = reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-1));

std::atomic<UINT> g_uErrorMode{0};

void FillSystemInfo(LPSYSTEM_INFO info, WORD architecture) {
  memset(info, 0, sizeof *info);
  info->wProcessorArchitecture = architecture;
  info->dwPageSize = 4096;
  info->lpMinimumApplicationAddress = reinterpret_cast<LPVOID>(0x10000);
  info->lpMaximumApplicationAddress = reinterpret_cast<LPVOID>(0x7FFEFFFF);
  long processors = sysconf(_SC_NPROCESSORS_ONLN);
  info->dwNumberOfProcessors = processors > 0 ? static_cast<DWORD>(processors) : 1;
  info->dwActiveProcessorMask = (info->dwNumberOfProcessors >= 32) ? 0xFFFFFFFF
                                                                   : ((DWORD_PTR{1} << info->dwNumberOfProcessors) - 1);
  info->dwProcessorType = architecture == PROCESSOR_ARCHITECTURE_INTEL ? 586 : 8664;
  info->dwAllocationGranularity = 65536;
  info->wProcessorLevel = 6;
}

WORD NativeArchitecture() {
  switch (hw::Architecture()) {
    case hw::Arch::X86:
      return PROCESSOR_ARCHITECTURE_INTEL;
    case hw::Arch::Ia64:
      return PROCESSOR_ARCHITECTURE_IA64;
    default:
      return PROCESSOR_ARCHITECTURE_AMD64;
  }
}

}  // namespace

extern "C" DWORD WINAPI GetVersion(void) {
  hw::WindowsVersion v = hw::Version();
  return (v.major & 0xFF) | ((v.minor & 0xFF) << 8) | ((v.build & 0x7FFF) << 16);
}

extern "C" BOOL WINAPI GetVersionExW(LPOSVERSIONINFOW lpVersionInformation) {
  if (!lpVersionInformation || (lpVersionInformation->dwOSVersionInfoSize != sizeof(OSVERSIONINFOW) &&
                                lpVersionInformation->dwOSVersionInfoSize != sizeof(OSVERSIONINFOEXW))) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  hw::WindowsVersion v = hw::Version();
  lpVersionInformation->dwMajorVersion = v.major;
  lpVersionInformation->dwMinorVersion = v.minor;
  lpVersionInformation->dwBuildNumber = v.build;
  lpVersionInformation->dwPlatformId = VER_PLATFORM_WIN32_NT;
  memset(lpVersionInformation->szCSDVersion, 0, sizeof lpVersionInformation->szCSDVersion);
  if (lpVersionInformation->dwOSVersionInfoSize == sizeof(OSVERSIONINFOEXW)) {
    auto *ex = reinterpret_cast<LPOSVERSIONINFOEXW>(lpVersionInformation);
    ex->wServicePackMajor = 0;
    ex->wServicePackMinor = 0;
    ex->wSuiteMask = 0x100;  // VER_SUITE_SINGLEUSERTS
    ex->wProductType = VER_NT_WORKSTATION;
    ex->wReserved = 0;
  }
  return TRUE;
}

extern "C" void WINAPI GetNativeSystemInfo(LPSYSTEM_INFO lpSystemInfo) {
  if (lpSystemInfo) FillSystemInfo(lpSystemInfo, NativeArchitecture());
}

// The process's own view: a 32-bit process on 64-bit Windows sees x86.
extern "C" void WINAPI GetSystemInfo(LPSYSTEM_INFO lpSystemInfo) {
  if (!lpSystemInfo) return;
  WORD architecture = hw::Architecture() == hw::Arch::X86OnX64 ? PROCESSOR_ARCHITECTURE_INTEL
                                                                : NativeArchitecture();
  FillSystemInfo(lpSystemInfo, architecture);
}

extern "C" BOOL WINAPI IsWow64Process(HANDLE hProcess, PBOOL Wow64Process) {
  if (!Wow64Process) {
    SetLastError(ERROR_NOACCESS);
    return FALSE;
  }
  if (hProcess != kCurrentProcess) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  *Wow64Process = hw::Architecture() == hw::Arch::X86OnX64 ? TRUE : FALSE;
  return TRUE;
}

extern "C" HANDLE WINAPI GetCurrentProcess(void) { return kCurrentProcess; }

extern "C" DWORD WINAPI GetCurrentProcessId(void) { return static_cast<DWORD>(getpid()); }

extern "C" DWORD WINAPI GetCurrentThreadId(void) { return static_cast<DWORD>(syscall(SYS_gettid)); }

extern "C" UINT WINAPI SetErrorMode(UINT uMode) { return g_uErrorMode.exchange(uMode); }

extern "C" DWORD WINAPI GetEnvironmentVariableW(LPCWSTR lpName, LPWSTR lpBuffer, DWORD nSize) {
  if (!lpName) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const char *value = getenv(hw::Utf16ToUtf8(hw::View(lpName)).c_str());
  if (!value) {
    SetLastError(ERROR_ENVVAR_NOT_FOUND);
    return 0;
  }
  return hw::CopyOut(hw::Utf8ToUtf16(value), lpBuffer, nSize);
}
