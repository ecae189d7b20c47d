#include "setup/OrvandelSetupRun.h"

COrvandelSetupRun::COrvandelSetupRun() {}

COrvandelSetupRun::~COrvandelSetupRun() {}

// The product's constants replace the base class's optional resources.
void COrvandelSetupRun::LoadConfiguration() {
  m_strProductName = TEXT("Orvandel 2.0");
  m_strDownloadPath = TEXT("http://download.pellomar.com/orvandel/2.0/");
  m_strPackageFile = TEXT("Orvandel20.msi");
}

CSetupRun *CreateSetupRun() { return new COrvandelSetupRun; }
