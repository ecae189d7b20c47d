// The base COM interfaces for the host build: IUnknown and IClassFactory.
// C++ only: objects are classes with virtual functions, laid out as COM's
// binary interface is on Windows (so no virtual destructor).
#pragma once

#include <windef.h>
#include <winerror.h>
#include <guiddef.h>

#ifdef __cplusplus
extern "C" {
#endif
extern const IID IID_IUnknown;
extern const IID IID_IClassFactory;
#ifdef __cplusplus
}

struct IUnknown {
  virtual HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **ppvObject) = 0;
  virtual ULONG STDMETHODCALLTYPE AddRef(void) = 0;
  virtual ULONG STDMETHODCALLTYPE Release(void) = 0;
};
typedef IUnknown *LPUNKNOWN;

struct IClassFactory : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown *pUnkOuter, REFIID riid, void **ppvObject) = 0;
  virtual HRESULT STDMETHODCALLTYPE LockServer(BOOL fLock) = 0;
};
typedef IClassFactory *LPCLASSFACTORY;
#endif
