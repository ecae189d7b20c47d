#include "setup/SingleInstance.h"

#include "common/tHandle.h"

bool IsSetupRunning() {
  // Windows 2000 and later have the global namespace, seen by every user's
  // processes.
  const bool bGlobal = LOBYTE(LOWORD(GetVersion())) >= 5;
  LPCWSTR pszName = bGlobal ? TEXT("Global\\_MSISETUP_{2956EBA1-9B5A-4679-8618-357136DA66CA}")
                            : TEXT("_MSISETUP_{2956EBA1-9B5A-4679-8618-357136DA66CA}");
  SetLastError(ERROR_SUCCESS);
  tHandle<void *, tHandleType<void *, 0>> mutex;
  mutex.Attach(CreateMutexW(nullptr, FALSE, pszName));
  return !mutex.IsValid() || GetLastError() == ERROR_ALREADY_EXISTS;
}
