// Verifications kept open between WTD_STATEACTION_VERIFY and
// WTD_STATEACTION_CLOSE: the provider data the WTHelper functions read.
#pragma once

#include <wintrust.h>

#include "hw/authenticode.h"

#include <memory>
#include <vector>

namespace hw::trust {

class ProviderState {
 public:
  ProviderState(const Verdict &verdict, WINTRUST_DATA *data, const GUID &action);
  ~ProviderState();
  ProviderState(const ProviderState &) = delete;
  ProviderState &operator=(const ProviderState &) = delete;
  CRYPT_PROVIDER_DATA *Data() { return &m_data; }

 private:
  // Fills one signer entry; its certificate contexts are owned here.
  void FillSigner(CRYPT_PROVIDER_SGNR *entry, const SignerChain &signer);

  GUID m_action;
  CRYPT_PROVIDER_DATA m_data{};
  CRYPT_PROVIDER_SGNR m_signer{};
  CRYPT_PROVIDER_SGNR m_countersigner{};
  std::vector<std::vector<CRYPT_PROVIDER_CERT>> m_chains;
};

// Keeps a state and returns the handle that names it (never null).
HANDLE KeepState(std::unique_ptr<ProviderState> state);
// Releases a kept state; false when the handle names none.
bool ReleaseState(HANDLE handle);
// The provider data of a kept state, or null.
CRYPT_PROVIDER_DATA *ProviderDataOf(HANDLE handle);

}  // namespace hw::trust
