// Owners of operating-system handles: each closes its handle exactly once.
//
//   tHandle<void *, tHandleType<void *, 0>>     a kernel handle that is null when absent
//   tHandle<void *, tHandleType<void *, -1>>    a file handle (INVALID_HANDLE_VALUE when absent)
//   tHandle<HINSTANCE__ *, tHandleTypeModule>   a loaded module, freed with FreeLibrary
#pragma once

#include <windows.h>

// The traits of a handle type: its invalid value and how to close it. The
// invalid value is an integer so that -1 (INVALID_HANDLE_VALUE) can be given.
template <class T, INT_PTR Invalid>
class tHandleType {
 public:
  static T InvalidValue() { return (T)(Invalid); }

  // Closes the handle; true when it was closed.
  virtual bool Close(T value) { return ::CloseHandle(value) != FALSE; }

  virtual ~tHandleType() {}
};

// A module loaded with LoadLibraryW.
class tHandleTypeModule : public tHandleType<HINSTANCE__ *, 0> {
 public:
  bool Close(HINSTANCE__ *value) override { return ::FreeLibrary(value) != FALSE; }
};

template <class T, class Traits>
class tHandle : public Traits {
 public:
  tHandle() : m_hHandle(Traits::InvalidValue()) {}
  ~tHandle() override { Reset(); }

  tHandle(const tHandle &) = delete;
  tHandle &operator=(const tHandle &) = delete;

  // Holds a new value, closing the one held before; holding the same value
  // again does nothing.
  void Attach(T value) {
    if (value == m_hHandle) return;
    Reset();
    m_hHandle = value;
  }

  // Closes the held handle. The value is cleared before closing, so that a
  // handle is never closed twice, even when closing fails or throws.
  bool Reset() {
    T value = m_hHandle;
    m_hHandle = Traits::InvalidValue();
    if (value == Traits::InvalidValue()) return false;
    try {
      return this->Close(value);
    } catch (...) {
      return false;
    }
  }

  T Get() const { return m_hHandle; }
  operator T() const { return m_hHandle; }
  bool IsValid() const { return m_hHandle != Traits::InvalidValue(); }

 private:
  T m_hHandle;
};
