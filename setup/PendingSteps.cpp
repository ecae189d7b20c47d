// Steps of the setup run that later work fills in: staging and running the
// download package, installing the product package and keeping its source.
// Until then each reports that it is not available, and the run ends there.
#include "setup/SetupRun.h"

namespace {
const HRESULT kNotAvailable = static_cast<HRESULT>(0x80070078);  // ERROR_CALL_NOT_IMPLEMENTED
}

HRESULT CSetupRun::RunDownloadPackage() { return ReportError(kNotAvailable, false); }

HRESULT CSetupRun::InstallProductPackage() { return kNotAvailable; }

HRESULT CSetupRun::PrepareTargetPath() { return kNotAvailable; }

HRESULT CSetupRun::PlacePackage(CMsiPackage &package, LPCWSTR pszPackageFile, LPCWSTR pszTarget,
                                LPCWSTR pszSource) {
  return kNotAvailable;
}

HRESULT CSetupRun::RegisterSource(CMsiPackage &package, LPCWSTR pszPackageFile) { return kNotAvailable; }
