// The Orvandel 2.0 product: a setup run with the product's configuration.
#pragma once

#include "setup/SetupRun.h"

class COrvandelSetupRun : public CSetupRun {
 public:
  COrvandelSetupRun();
  ~COrvandelSetupRun() override;
  void LoadConfiguration() override;
};
