// The process's kernel handle table.
#include "hw/handles.h"

#include <winbase.h>

#include <mutex>
#include <vector>

namespace hw {
namespace {

// Handle values are multiples of four, as on Windows; slot k is handle 4k+4.
struct HandleTable {
  std::mutex lock;
  std::vector<std::shared_ptr<KernelObject>> slots;
  std::vector<size_t> freeSlots;
};

HandleTable &Table() {
  static HandleTable *table = new HandleTable;  // outlives every static destructor
  return *table;
}

bool SlotOf(HANDLE handle, size_t &slot) {
  auto value = reinterpret_cast<uintptr_t>(handle);
  if (value == 0 || value % 4 != 0 || value > (uintptr_t{1} << 30)) return false;
  slot = value / 4 - 1;
  return true;
}

}  // namespace

HANDLE AllocHandle(std::shared_ptr<KernelObject> object) {
  HandleTable &table = Table();
  std::lock_guard<std::mutex> guard(table.lock);
  size_t slot;
  if (!table.freeSlots.empty()) {
    slot = table.freeSlots.back();
    table.freeSlots.pop_back();
    table.slots[slot] = std::move(object);
  } else {
    slot = table.slots.size();
    table.slots.push_back(std::move(object));
  }
  return reinterpret_cast<HANDLE>((slot + 1) * 4);
}

std::shared_ptr<KernelObject> LookupHandle(HANDLE handle) {
  size_t slot;
  if (!SlotOf(handle, slot)) return nullptr;
  HandleTable &table = Table();
  std::lock_guard<std::mutex> guard(table.lock);
  return slot < table.slots.size() ? table.slots[slot] : nullptr;
}

bool FreeHandle(HANDLE handle) {
  size_t slot;
  if (!SlotOf(handle, slot)) return false;
  std::shared_ptr<KernelObject> object;
  HandleTable &table = Table();
  {
    std::lock_guard<std::mutex> guard(table.lock);
    if (slot >= table.slots.size() || !table.slots[slot]) return false;
    object = std::move(table.slots[slot]);
    table.freeSlots.push_back(slot);
  }
  return true;  // the object is released outside the lock
}

}  // namespace hw

extern "C" BOOL WINAPI CloseHandle(HANDLE hObject) {
  if (hObject == INVALID_HANDLE_VALUE) return TRUE;  // the current-process pseudo handle
  if (!hw::FreeHandle(hObject)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}
