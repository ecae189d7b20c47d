#include "provider_state.h"

#include <map>
#include <mutex>

namespace hw::trust {
namespace {

// Seconds between 1601 and 1970, the two epochs.
constexpr int64_t kEpochDifference = 11644473600;

FILETIME ToFileTime(time_t seconds) {
  const uint64_t ticks = static_cast<uint64_t>((static_cast<int64_t>(seconds) + kEpochDifference) * 10000000);
  return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

std::mutex &StatesLock() {
  static auto *lock = new std::mutex;
  return *lock;
}

std::map<HANDLE, std::unique_ptr<ProviderState>> &States() {
  static auto *states = new std::map<HANDLE, std::unique_ptr<ProviderState>>;
  return *states;
}

}  // namespace

ProviderState::ProviderState(const Verdict &verdict, WINTRUST_DATA *data, const GUID &action) : m_action(action) {
  m_data.cbStruct = sizeof m_data;
  m_data.pWintrustData = data;
  m_data.fOpenedFile = TRUE;
  m_data.pgActionID = &m_action;
  m_data.dwError = static_cast<DWORD>(verdict.result);
  m_data.dwEncoding = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;
  if (!verdict.signer) return;
  m_chains.reserve(2);
  FillSigner(&m_signer, *verdict.signer);
  if (verdict.countersigner) {
    FillSigner(&m_countersigner, *verdict.countersigner);
    m_signer.csCounterSigners = 1;
    m_signer.pasCounterSigners = &m_countersigner;
  }
  m_data.csSigners = 1;
  m_data.pasSigners = &m_signer;
}

ProviderState::~ProviderState() {
  for (auto &chain : m_chains) {
    for (auto &cert : chain) CertFreeCertificateContext(cert.pCert);
  }
}

void ProviderState::FillSigner(CRYPT_PROVIDER_SGNR *entry, const SignerChain &signer) {
  std::vector<CRYPT_PROVIDER_CERT> &chain = m_chains.emplace_back();
  for (size_t i = 0; i < signer.chain.size(); ++i) {
    X509 *cert = signer.chain[i].get();
    CRYPT_PROVIDER_CERT item{};
    item.cbStruct = sizeof item;
    item.pCert = NewCertificateContext(cert);
    if (!item.pCert) continue;
    item.fSelfSigned = X509_self_signed(cert, 0) == 1;
    item.fTrustedRoot = SUCCEEDED(signer.error) && i + 1 == signer.chain.size() && item.fSelfSigned;
    chain.push_back(item);
  }
  entry->cbStruct = sizeof *entry;
  entry->sftVerifyAsOf = ToFileTime(signer.verifiedAt);
  entry->csCertChain = static_cast<DWORD>(chain.size());
  entry->pasCertChain = chain.empty() ? nullptr : chain.data();
  entry->dwError = static_cast<DWORD>(signer.error);
}

HANDLE KeepState(std::unique_ptr<ProviderState> state) {
  HANDLE handle = state.get();
  std::lock_guard<std::mutex> guard(StatesLock());
  States()[handle] = std::move(state);
  return handle;
}

bool ReleaseState(HANDLE handle) {
  std::unique_ptr<ProviderState> released;
  {
    std::lock_guard<std::mutex> guard(StatesLock());
    auto it = States().find(handle);
    if (it == States().end()) return false;
    released = std::move(it->second);
    States().erase(it);
  }
  return true;
}

CRYPT_PROVIDER_DATA *ProviderDataOf(HANDLE handle) {
  std::lock_guard<std::mutex> guard(StatesLock());
  auto it = States().find(handle);
  return it == States().end() ? nullptr : it->second->Data();
}

}  // namespace hw::trust

extern "C" CRYPT_PROVIDER_DATA *WINAPI WTHelperProvDataFromStateData(HANDLE hStateData) {
  return hw::trust::ProviderDataOf(hStateData);
}

extern "C" CRYPT_PROVIDER_SGNR *WINAPI WTHelperGetProvSignerFromChain(CRYPT_PROVIDER_DATA *pProvData, DWORD idxSigner,
                                                                      BOOL fCounterSigner, DWORD idxCounterSigner) {
  if (!pProvData || idxSigner >= pProvData->csSigners || !pProvData->pasSigners) return nullptr;
  CRYPT_PROVIDER_SGNR *signer = &pProvData->pasSigners[idxSigner];
  if (!fCounterSigner) return signer;
  if (idxCounterSigner >= signer->csCounterSigners || !signer->pasCounterSigners) return nullptr;
  return &signer->pasCounterSigners[idxCounterSigner];
}

extern "C" CRYPT_PROVIDER_CERT *WINAPI WTHelperGetProvCertFromChain(CRYPT_PROVIDER_SGNR *pSgnr, DWORD idxCert) {
  if (!pSgnr || idxCert >= pSgnr->csCertChain || !pSgnr->pasCertChain) return nullptr;
  return &pSgnr->pasCertChain[idxCert];
}
