// The installer's handle table (MSIHANDLE), shared by the database layer
// and the engine. Handles are per process; each remembers the thread that
// made it, for MsiCloseAllHandles.
#pragma once

#include <msi.h>

#include <memory>
#include <mutex>

namespace hw::msi {

class HandleObject {
 public:
  virtual ~HandleObject() = default;
};

MSIHANDLE AllocHandle(std::shared_ptr<HandleObject> object);
std::shared_ptr<HandleObject> LookupHandle(MSIHANDLE handle);
template <class T>
std::shared_ptr<T> LookupHandleAs(MSIHANDLE handle) {
  return std::dynamic_pointer_cast<T>(LookupHandle(handle));
}
bool FreeHandle(MSIHANDLE handle);
// Closes every handle the calling thread made; returns how many were open.
unsigned FreeThreadHandles();

// The lock every exported installer function holds while it runs.
std::recursive_mutex &ApiLock();

}  // namespace hw::msi
