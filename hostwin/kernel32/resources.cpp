// Resources: each module's table, registered by the code that the host
// resource compiler generates, and the lookups of FindResourceW and friends.
#include <winbase.h>
#include <winnls.h>

#include "hw/modules.h"
#include "hw/resources.h"
#include "hw/text.h"

#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace {

struct Table {
  const hw::ResourceEntry *entries;
  size_t count;
};

std::mutex &TableLock() {
  static auto *lock = new std::mutex;
  return *lock;
}

std::map<HMODULE, std::vector<Table>> &Tables() {
  static auto *tables = new std::map<HMODULE, std::vector<Table>>;
  return *tables;
}

// A type or name as the caller gives it: MAKEINTRESOURCE(n), "#n" or a
// string (compared without regard to case).
struct Key {
  std::optional<WORD> id;
  std::u16string name;
};

Key KeyOf(LPCWSTR value) {
  Key key;
  if (IS_INTRESOURCE(value)) {
    key.id = static_cast<WORD>(reinterpret_cast<ULONG_PTR>(value));
    return key;
  }
  std::u16string_view text = hw::View(value);
  if (text.size() > 1 && text[0] == u'#') {
    unsigned number = 0;
    bool digits = true;
    for (char16_t c : text.substr(1)) {
      if (c < u'0' || c > u'9') digits = false;
      number = number * 10 + (c - u'0');
      if (number > 0xFFFF) digits = false;
    }
    if (digits) {
      key.id = static_cast<WORD>(number);
      return key;
    }
  }
  key.name = hw::ToUpper(text);
  return key;
}

bool Matches(const Key &key, const char16_t *name, WORD id) {
  if (key.id) return !name && id == *key.id;
  return name && hw::View(name) == key.name;
}

// The languages FindResourceW tries in order before taking any language.
std::vector<WORD> LanguageOrder() {
  LANGID user = GetUserDefaultUILanguage();
  auto lang = [](int primary, int sub) { return static_cast<WORD>(MAKELANGID(primary, sub)); };
  return {lang(LANG_NEUTRAL, SUBLANG_NEUTRAL), user, lang(PRIMARYLANGID(user), SUBLANG_NEUTRAL),
          lang(LANG_NEUTRAL, SUBLANG_DEFAULT), lang(LANG_NEUTRAL, SUBLANG_SYS_DEFAULT),
          lang(LANG_ENGLISH, SUBLANG_ENGLISH_US)};
}

HMODULE ModuleOrProgram(HMODULE module) { return module ? module : GetModuleHandleW(nullptr); }

}  // namespace

namespace hw {

ResourceTableRegistration::ResourceTableRegistration(const ResourceEntry *entries, size_t count)
    : m_entries(entries) {
  HMODULE module = ModuleFromAddress(entries);
  std::lock_guard<std::mutex> guard(TableLock());
  Tables()[module].push_back(Table{entries, count});
}

ResourceTableRegistration::~ResourceTableRegistration() {
  HMODULE module = ModuleFromAddress(m_entries);
  std::lock_guard<std::mutex> guard(TableLock());
  auto it = Tables().find(module);
  if (it == Tables().end()) return;
  std::erase_if(it->second, [&](const Table &t) { return t.entries == m_entries; });
  if (it->second.empty()) Tables().erase(it);
}

const ResourceEntry *FindModuleResource(HMODULE module, LPCWSTR type, LPCWSTR name, int language) {
  if (!type || !name) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  Key typeKey = KeyOf(type);
  Key nameKey = KeyOf(name);
  std::vector<const ResourceEntry *> candidates;
  bool typeFound = false;
  {
    std::lock_guard<std::mutex> guard(TableLock());
    auto it = Tables().find(ModuleOrProgram(module));
    if (it == Tables().end()) {
      SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
      return nullptr;
    }
    for (const Table &table : it->second) {
      for (size_t k = 0; k < table.count; ++k) {
        const ResourceEntry &entry = table.entries[k];
        if (!Matches(typeKey, entry.typeName, entry.typeId)) continue;
        typeFound = true;
        if (Matches(nameKey, entry.name, entry.nameId)) candidates.push_back(&entry);
      }
    }
  }
  if (candidates.empty()) {
    SetLastError(typeFound ? ERROR_RESOURCE_NAME_NOT_FOUND : ERROR_RESOURCE_TYPE_NOT_FOUND);
    return nullptr;
  }
  auto inLanguage = [&](WORD wanted) -> const ResourceEntry * {
    for (const ResourceEntry *entry : candidates) {
      if (entry->language == wanted) return entry;
    }
    return nullptr;
  };
  if (language >= 0) {
    if (const ResourceEntry *entry = inLanguage(static_cast<WORD>(language))) return entry;
    SetLastError(ERROR_RESOURCE_LANG_NOT_FOUND);
    return nullptr;
  }
  for (WORD wanted : LanguageOrder()) {
    if (const ResourceEntry *entry = inLanguage(wanted)) return entry;
  }
  // Then the user's language in any of its variants (English (Canada) for
  // an English (United States) user), before any other language.
  WORD userPrimary = PRIMARYLANGID(GetUserDefaultUILanguage());
  for (const ResourceEntry *entry : candidates) {
    if (PRIMARYLANGID(entry->language) == userPrimary) return entry;
  }
  const ResourceEntry *first = candidates.front();
  for (const ResourceEntry *entry : candidates) {
    if (entry->language < first->language) first = entry;
  }
  return first;
}

}  // namespace hw

extern "C" HRSRC WINAPI FindResourceW(HMODULE hModule, LPCWSTR lpName, LPCWSTR lpType) {
  return reinterpret_cast<HRSRC>(const_cast<hw::ResourceEntry *>(hw::FindModuleResource(hModule, lpType, lpName)));
}

extern "C" HRSRC WINAPI FindResourceExW(HMODULE hModule, LPCWSTR lpType, LPCWSTR lpName, WORD wLanguage) {
  return reinterpret_cast<HRSRC>(
      const_cast<hw::ResourceEntry *>(hw::FindModuleResource(hModule, lpType, lpName, wLanguage)));
}

extern "C" HGLOBAL WINAPI LoadResource(HMODULE hModule, HRSRC hResInfo) {
  if (!hResInfo) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  return const_cast<void *>(reinterpret_cast<const hw::ResourceEntry *>(hResInfo)->data);
}

extern "C" LPVOID WINAPI LockResource(HGLOBAL hResData) { return hResData; }

extern "C" DWORD WINAPI SizeofResource(HMODULE hModule, HRSRC hResInfo) {
  if (!hResInfo) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  return reinterpret_cast<const hw::ResourceEntry *>(hResInfo)->size;
}

// Resources live as long as their module; there is nothing to free.
extern "C" BOOL WINAPI FreeResource(HGLOBAL hResData) { return FALSE; }
