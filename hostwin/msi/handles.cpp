// The installer's handle table, and MsiCloseHandle / MsiCloseAllHandles.
#include "hw/msi_handles.h"

#include <map>
#include <thread>
#include <vector>

namespace hw::msi {
namespace {

struct Slot {
  std::shared_ptr<HandleObject> object;
  std::thread::id owner;
};

struct Table {
  std::mutex lock;
  std::map<MSIHANDLE, Slot> slots;
  MSIHANDLE next = 1;
};

Table &Handles() {
  static auto *table = new Table;  // outlives every static destructor
  return *table;
}

}  // namespace

std::recursive_mutex &ApiLock() {
  static auto *lock = new std::recursive_mutex;
  return *lock;
}

MSIHANDLE AllocHandle(std::shared_ptr<HandleObject> object) {
  Table &table = Handles();
  std::lock_guard<std::mutex> guard(table.lock);
  while (table.next == 0 || table.slots.count(table.next)) ++table.next;
  const MSIHANDLE handle = table.next++;
  table.slots[handle] = Slot{std::move(object), std::this_thread::get_id()};
  return handle;
}

std::shared_ptr<HandleObject> LookupHandle(MSIHANDLE handle) {
  Table &table = Handles();
  std::lock_guard<std::mutex> guard(table.lock);
  auto it = table.slots.find(handle);
  return it == table.slots.end() ? nullptr : it->second.object;
}

bool FreeHandle(MSIHANDLE handle) {
  std::shared_ptr<HandleObject> object;  // dies outside the lock
  Table &table = Handles();
  std::lock_guard<std::mutex> guard(table.lock);
  auto it = table.slots.find(handle);
  if (it == table.slots.end()) return false;
  object = std::move(it->second.object);
  table.slots.erase(it);
  return true;
}

unsigned FreeThreadHandles() {
  std::vector<std::shared_ptr<HandleObject>> objects;
  Table &table = Handles();
  std::lock_guard<std::mutex> guard(table.lock);
  for (auto it = table.slots.begin(); it != table.slots.end();) {
    if (it->second.owner == std::this_thread::get_id()) {
      objects.push_back(std::move(it->second.object));
      it = table.slots.erase(it);
    } else {
      ++it;
    }
  }
  return static_cast<unsigned>(objects.size());
}

}  // namespace hw::msi

extern "C" UINT WINAPI MsiCloseHandle(MSIHANDLE hAny) {
  std::lock_guard<std::recursive_mutex> api(hw::msi::ApiLock());
  if (hAny == 0) return ERROR_SUCCESS;
  return hw::msi::FreeHandle(hAny) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

extern "C" UINT WINAPI MsiCloseAllHandles(void) {
  std::lock_guard<std::recursive_mutex> api(hw::msi::ApiLock());
  return hw::msi::FreeThreadHandles();
}
