// The kernel handle table: HANDLE values of files, mutexes and other kernel
// objects of this process, shared by all hostwin modules.
#pragma once

#include <windef.h>

#include <memory>

namespace hw {

class KernelObject {
 public:
  virtual ~KernelObject() = default;
};

// Stores the object and returns a new handle for it (never null, never
// INVALID_HANDLE_VALUE).
HANDLE AllocHandle(std::shared_ptr<KernelObject> object);
// The object of a handle, or null when the handle is not open.
std::shared_ptr<KernelObject> LookupHandle(HANDLE handle);
template <class T>
std::shared_ptr<T> LookupHandleAs(HANDLE handle) {
  return std::dynamic_pointer_cast<T>(LookupHandle(handle));
}
// Removes the handle; the object dies with its last reference. False when the
// handle was not open.
bool FreeHandle(HANDLE handle);

}  // namespace hw
