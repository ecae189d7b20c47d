// Apartments and object creation. An apartment is counted per thread; class
// objects registered with CoRegisterClassObject are the classes the host can
// create until it has a registry of in-process servers.
#include <windows.h>
#include <objbase.h>

#include <map>
#include <mutex>
#include <thread>

extern "C" const IID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
extern "C" const IID IID_IClassFactory = {0x00000001, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

namespace {

struct Apartment {
  unsigned depth = 0;
  DWORD model = 0;
};

thread_local Apartment t_apartment;

struct ClassRegistration {
  CLSID clsid;
  IUnknown *object;
  DWORD context;
  std::thread::id owner;
};

struct ClassTable {
  std::mutex lock;
  std::map<DWORD, ClassRegistration> entries;
  DWORD nextCookie = 1;
};

ClassTable &Classes() {
  static auto *table = new ClassTable;
  return *table;
}

// The registered class object for a class and context, with a reference
// taken for the caller; null when none.
IUnknown *FindClassObject(REFCLSID clsid, DWORD context) {
  ClassTable &table = Classes();
  std::lock_guard<std::mutex> guard(table.lock);
  for (auto &[cookie, entry] : table.entries) {
    if (entry.clsid == clsid && (entry.context & context)) {
      entry.object->AddRef();
      return entry.object;
    }
  }
  return nullptr;
}

// Revokes what this thread registered; its apartment is going away.
void RevokeThreadClassObjects() {
  std::map<DWORD, ClassRegistration> revoked;
  {
    ClassTable &table = Classes();
    std::lock_guard<std::mutex> guard(table.lock);
    for (auto it = table.entries.begin(); it != table.entries.end();) {
      if (it->second.owner == std::this_thread::get_id()) {
        revoked.insert(*it);
        it = table.entries.erase(it);
      } else {
        ++it;
      }
    }
  }
  for (auto &[cookie, entry] : revoked) entry.object->Release();
}

}  // namespace

extern "C" HRESULT WINAPI CoInitializeEx(LPVOID pvReserved, DWORD dwCoInit) {
  if (pvReserved) return E_INVALIDARG;
  const DWORD model = dwCoInit & COINIT_APARTMENTTHREADED;
  if (t_apartment.depth > 0 && t_apartment.model != model) return RPC_E_CHANGED_MODE;
  t_apartment.model = model;
  return t_apartment.depth++ == 0 ? S_OK : S_FALSE;
}

extern "C" HRESULT WINAPI CoInitialize(LPVOID pvReserved) {
  return CoInitializeEx(pvReserved, COINIT_APARTMENTTHREADED);
}

extern "C" void WINAPI CoUninitialize(void) {
  if (t_apartment.depth == 0) return;
  if (--t_apartment.depth == 0) RevokeThreadClassObjects();
}

HRESULT WINAPI CoCreateInstance(REFCLSID rclsid, IUnknown *pUnkOuter, DWORD dwClsContext, REFIID riid,
                                LPVOID *ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (t_apartment.depth == 0) return CO_E_NOTINITIALIZED;
  IUnknown *object = FindClassObject(rclsid, dwClsContext);
  if (!object) return REGDB_E_CLASSNOTREG;
  IClassFactory *factory = nullptr;
  HRESULT hr = object->QueryInterface(IID_IClassFactory, reinterpret_cast<void **>(&factory));
  object->Release();
  if (FAILED(hr) || !factory) return FAILED(hr) ? hr : E_NOINTERFACE;
  hr = factory->CreateInstance(pUnkOuter, riid, ppv);
  factory->Release();
  return hr;
}

HRESULT WINAPI CoRegisterClassObject(REFCLSID rclsid, IUnknown *pUnk, DWORD dwClsContext, DWORD flags,
                                     LPDWORD lpdwRegister) {
  if (!pUnk || !lpdwRegister) return E_INVALIDARG;
  *lpdwRegister = 0;
  if (t_apartment.depth == 0) return CO_E_NOTINITIALIZED;
  pUnk->AddRef();
  ClassTable &table = Classes();
  std::lock_guard<std::mutex> guard(table.lock);
  DWORD cookie = table.nextCookie++;
  table.entries[cookie] = ClassRegistration{rclsid, pUnk, dwClsContext, std::this_thread::get_id()};
  *lpdwRegister = cookie;
  return S_OK;
}

HRESULT WINAPI CoRevokeClassObject(DWORD dwRegister) {
  IUnknown *object = nullptr;
  {
    ClassTable &table = Classes();
    std::lock_guard<std::mutex> guard(table.lock);
    auto it = table.entries.find(dwRegister);
    if (it == table.entries.end()) return E_INVALIDARG;
    object = it->second.object;
    table.entries.erase(it);
  }
  object->Release();
  return S_OK;
}
