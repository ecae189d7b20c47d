// The platform suffixes of the candidate package names, in the order they are
// probed.
#include "setup/SetupRun.h"

namespace {

// Consecutive zero-terminated strings closed by an empty one.
const WCHAR kSuffixesBeforeVista[] = TEXT("W\0");
const WCHAR kSuffixes64Bit[] = TEXT("Vx64\0V\0W\0");
const WCHAR kSuffixes32Bit[] = TEXT("V\0W\0");

bool IsRunningOn64BitWindows() {
  SYSTEM_INFO info = {};
  GetNativeSystemInfo(&info);
  if (info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64 ||
      info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_IA64)
    return true;
  BOOL bWow64 = FALSE;
  return IsWow64Process(GetCurrentProcess(), &bWow64) && bWow64 == 1;
}

}  // namespace

LPCWSTR CSetupRun::GetPlatformSuffixes() {
  if (LOBYTE(LOWORD(GetVersion())) < 6) return kSuffixesBeforeVista;
  return IsRunningOn64BitWindows() ? kSuffixes64Bit : kSuffixes32Bit;
}
