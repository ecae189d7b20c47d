// COM apartments and object creation as Windows gives them: a counted
// apartment per thread, RPC_E_CHANGED_MODE for the other model, and
// REGDB_E_CLASSNOTREG for a class nobody registered.
#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <thread>

namespace {

const CLSID kSomeClass = {0x12345678, 0x1234, 0x1234, {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE, 0xF0}};

class Object : public IClassFactory {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **ppv) override {
    *ppv = (riid == IID_IUnknown || riid == IID_IClassFactory) ? this : nullptr;
    if (!*ppv) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs; }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown *outer, REFIID riid, void **ppv) override {
    if (outer) return CLASS_E_NOAGGREGATION;
    ++created;
    return QueryInterface(riid, ppv);
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
  ULONG refs = 1;
  int created = 0;
};

}  // namespace

TEST(ComApartment, InitialisationIsCountedPerThread) {
  EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
  EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_FALSE);
  EXPECT_EQ(CoInitialize(nullptr), S_FALSE);
  EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), RPC_E_CHANGED_MODE);
  // Another thread has an apartment of its own.
  std::thread([] {
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    CoUninitialize();
  }).join();
  CoUninitialize();
  CoUninitialize();
  CoUninitialize();
  // All three are undone: the thread may choose another model now.
  EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
  CoUninitialize();
  CoUninitialize();  // one too many does nothing
}

TEST(ComObjects, CreatesOnlyRegisteredClasses) {
  IUnknown *object = reinterpret_cast<IUnknown *>(1);
  EXPECT_EQ(CoCreateInstance(kSomeClass, nullptr, CLSCTX_SERVER, IID_IUnknown, reinterpret_cast<void **>(&object)),
            CO_E_NOTINITIALIZED);
  EXPECT_EQ(object, nullptr);
  ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
  EXPECT_EQ(CoCreateInstance(kSomeClass, nullptr, CLSCTX_SERVER, IID_IUnknown, reinterpret_cast<void **>(&object)),
            REGDB_E_CLASSNOTREG);
  EXPECT_EQ(object, nullptr);

  Object factory;
  DWORD cookie = 0;
  ASSERT_EQ(CoRegisterClassObject(kSomeClass, &factory, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie), S_OK);
  EXPECT_NE(cookie, 0u);
  EXPECT_EQ(CoCreateInstance(kSomeClass, nullptr, CLSCTX_LOCAL_SERVER, IID_IUnknown, reinterpret_cast<void **>(&object)),
            REGDB_E_CLASSNOTREG);  // registered for another context
  ASSERT_EQ(CoCreateInstance(kSomeClass, nullptr, CLSCTX_SERVER, IID_IUnknown, reinterpret_cast<void **>(&object)), S_OK);
  EXPECT_EQ(object, static_cast<IUnknown *>(&factory));
  EXPECT_EQ(factory.created, 1);
  object->Release();
  EXPECT_EQ(CoRevokeClassObject(cookie), S_OK);
  EXPECT_EQ(CoRevokeClassObject(cookie), E_INVALIDARG);
  EXPECT_EQ(factory.refs, 1u);  // every reference taken was given back
  EXPECT_EQ(CoCreateInstance(kSomeClass, nullptr, CLSCTX_SERVER, IID_IUnknown, reinterpret_cast<void **>(&object)),
            REGDB_E_CLASSNOTREG);

  // The last CoUninitialize revokes what the thread still has registered.
  ASSERT_EQ(CoRegisterClassObject(kSomeClass, &factory, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie), S_OK);
  CoUninitialize();
  EXPECT_EQ(factory.refs, 1u);
  ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
  EXPECT_EQ(CoCreateInstance(kSomeClass, nullptr, CLSCTX_SERVER, IID_IUnknown, reinterpret_cast<void **>(&object)),
            REGDB_E_CLASSNOTREG);
  CoUninitialize();
}
