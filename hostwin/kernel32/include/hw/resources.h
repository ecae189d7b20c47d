// Resources of a module: the table that the host resource compiler (tools/rc)
// generates for a module's .rc file registers itself here when the module is
// loaded, keyed by the module's HMODULE, and FindResourceW, LoadStringW and
// friends look it up.
#pragma once

#include <windef.h>

#include <cstddef>

namespace hw {

// One resource. A type or name is a number (`typeName`/`name` null) or an
// upper-case string. `data` stays valid while the module is loaded.
struct ResourceEntry {
  const char16_t *typeName;
  WORD typeId;
  const char16_t *name;
  WORD nameId;
  WORD language;
  const void *data;
  DWORD size;
};

// Registers the table of the module that holds `entries` for as long as the
// object lives (a static object of the generated file).
class ResourceTableRegistration {
 public:
  ResourceTableRegistration(const ResourceEntry *entries, size_t count);
  ~ResourceTableRegistration();
  ResourceTableRegistration(const ResourceTableRegistration &) = delete;
  ResourceTableRegistration &operator=(const ResourceTableRegistration &) = delete;

 private:
  const ResourceEntry *m_entries;
};

// The resource of a module (null: the program) by type and name: in exactly
// `language` when it is 0 or more, else in the first language of
// FindResourceW's order. Sets the last-error code when nothing is found.
const ResourceEntry *FindModuleResource(HMODULE module, LPCWSTR type, LPCWSTR name, int language = -1);

}  // namespace hw
