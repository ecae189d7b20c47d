// The script engine repair over the host's COM: a registered engine is only
// created and released; a missing one is registered again from its library,
// once per package object; Windows before Vista is left alone.
#include "setup/MsiPackage.h"
#include "setup/ScriptEngineRepair.h"

#include <objbase.h>

#include "TestEnvironment.h"

#include <gtest/gtest.h>

#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <string>

namespace {

const CLSID kJScriptClass = {0xF414C260, 0x6AC0, 0x11CF, {0xB6, 0xD1, 0x00, 0xAA, 0x00, 0xBB, 0xBB, 0x58}};

// An engine object and its class factory, counting what the repair does.
struct Counts {
  int created = 0;
  int released = 0;
};

class Engine final : public IUnknown {
 public:
  explicit Engine(Counts &counts) : m_counts(counts) {}
  virtual ~Engine() = default;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **ppv) override {
    *ppv = riid == IID_IUnknown ? this : nullptr;
    if (!*ppv) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++m_refs; }
  ULONG STDMETHODCALLTYPE Release() override {
    ++m_counts.released;
    const ULONG refs = --m_refs;
    if (refs == 0) delete this;
    return refs;
  }

 private:
  Counts &m_counts;
  ULONG m_refs = 1;
};

class Factory : public IClassFactory {
 public:
  explicit Factory(Counts &counts) : m_counts(counts) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **ppv) override {
    *ppv = (riid == IID_IUnknown || riid == IID_IClassFactory) ? this : nullptr;
    return *ppv ? S_OK : E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown *outer, REFIID riid, void **ppv) override {
    ++m_counts.created;
    Engine *engine = new Engine(m_counts);
    const HRESULT hr = engine->QueryInterface(riid, ppv);
    engine->Release();
    --m_counts.released;  // the factory's own release does not count
    return hr;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

 private:
  Counts &m_counts;
};

class ScriptEngineRepair : public testing::Test {
 protected:
  void SetUp() override {
    m_log = testenv::MakeTempDir("jscript") + "/calls.log";
    setenv("ORV_FAKE_JSCRIPT_LOG", m_log.c_str(), 1);
    unsetenv("ORV_FAKE_JSCRIPT_THROW");
    setenv("HOSTWIN_WINVER", "6.1", 1);
    unlink(EngineLibrary().c_str());  // the prefix lives as long as the test process
  }
  static std::string EngineLibrary() { return testenv::PrefixDir() + "/windows/system32/jscript.dll"; }
  void TearDown() override {
    unsetenv("HOSTWIN_WINVER");
    unsetenv("ORV_FAKE_JSCRIPT_LOG");
    unsetenv("ORV_FAKE_JSCRIPT_THROW");
  }
  void InstallEngineLibrary() {
    // The prefix's folders appear on first use; this may be the first.
    std::filesystem::create_directories(testenv::PrefixDir() + "/windows/system32");
    ASSERT_EQ(testenv::RunProgram({"/bin/cp", FAKE_JSCRIPT_PATH, EngineLibrary()}), 0);
  }
  int Registrations() {
    const std::string log = testenv::FileExists(m_log) ? testenv::ReadFile(m_log) : std::string();
    int count = 0;
    for (size_t at = log.find("registered"); at != std::string::npos; at = log.find("registered", at + 1)) ++count;
    return count;
  }
  std::string m_log;
};

}  // namespace

TEST_F(ScriptEngineRepair, MissingEngineIsRegisteredOncePerPackageObject) {
  InstallEngineLibrary();
  { CMsiPackage first; }
  EXPECT_EQ(Registrations(), 1);
  { CMsiPackage second; }
  EXPECT_EQ(Registrations(), 2);
}

TEST_F(ScriptEngineRepair, RegisteredEngineIsCreatedAndReleasedWithoutLoadingTheLibrary) {
  InstallEngineLibrary();
  Counts counts;
  Factory factory(counts);
  ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
  DWORD cookie = 0;
  ASSERT_EQ(CoRegisterClassObject(kJScriptClass, &factory, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie), S_OK);
  { CMsiPackage first; }
  { CMsiPackage second; }
  EXPECT_EQ(counts.created, 2);
  EXPECT_EQ(counts.released, 2);
  EXPECT_EQ(Registrations(), 0);
  EXPECT_EQ(CoRevokeClassObject(cookie), S_OK);
  CoUninitialize();
}

TEST_F(ScriptEngineRepair, WindowsXpIsLeftAlone) {
  InstallEngineLibrary();
  setenv("HOSTWIN_WINVER", "5.1", 1);
  RepairScriptEngineRegistration();
  EXPECT_EQ(Registrations(), 0);
  // COM was not initialised by the repair: the thread can still choose its model.
  EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
  CoUninitialize();
}

TEST_F(ScriptEngineRepair, FailingRegistrationOrMissingLibraryIsSilent) {
  { CMsiPackage withoutLibrary; }  // no jscript.dll anywhere
  EXPECT_EQ(Registrations(), 0);
  InstallEngineLibrary();
  setenv("ORV_FAKE_JSCRIPT_THROW", "1", 1);
  CMsiPackage package;
  EXPECT_EQ(Registrations(), 1);
  EXPECT_EQ(package.m_nUILevel, 5);
  // The apartment was released again.
  EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
  CoUninitialize();
}
