// Modules: LoadLibraryW over dlopen, with DllMain, reference counts and the
// decoration rule of GetProcAddress. An HMODULE is the module's load address.
#include <winbase.h>

#include "hw/modules.h"
#include "hw/paths.h"
#include "hw/text.h"

#include <dlfcn.h>
#include <link.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <map>
#include <mutex>
#include <string>

namespace {

typedef BOOL(WINAPI *DllMainProc)(HINSTANCE, DWORD, LPVOID);

struct LoadedModule {
  void *dl = nullptr;
  std::u16string windowsPath;
  unsigned refs = 0;
};

std::recursive_mutex &ModuleLock() {
  static auto *lock = new std::recursive_mutex;
  return *lock;
}

std::map<HMODULE, LoadedModule> &Loaded() {
  static auto *loaded = new std::map<HMODULE, LoadedModule>;
  return *loaded;
}

// The Windows DLLs that hostwin itself provides.
const char *const kHostwinDlls[] = {"kernel32", "user32", "shell32", "shlwapi", "ole32",  "oleaut32", "advapi32",
                                    "urlmon",   "wininet", "wintrust", "crypt32", "msi", "msvcrt"};

std::string Lower(std::string text) {
  for (char &c : text) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  return text;
}

HMODULE BaseOfHandle(void *dl) {
  link_map *map = nullptr;
  if (!dl || dlinfo(dl, RTLD_DI_LINKMAP, &map) != 0 || !map) return nullptr;
  Dl_info info{};
  if (!dladdr(reinterpret_cast<void *>(map->l_ld), &info)) return nullptr;
  return static_cast<HMODULE>(info.dli_fbase);
}

void *MainProgram() {
  static void *self = dlopen(nullptr, RTLD_NOW);
  return self;
}

bool FileExists(const std::string &path) {
  struct stat st{};
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// The base name of a requested module with ".dll" added when it has no
// extension (a trailing dot means "no extension, add none").
std::u16string RequestedBaseName(std::u16string_view name) {
  size_t slash = name.find_last_of(u"\\/");
  std::u16string base(slash == std::u16string_view::npos ? name : name.substr(slash + 1));
  if (!base.empty() && base.back() == u'.') {
    base.pop_back();
  } else if (base.find(u'.') == std::u16string::npos) {
    base += u".dll";
  }
  return base;
}

// The host file of a hostwin DLL named by its Windows base name, if any.
std::string HostwinModuleFile(const std::u16string &baseName) {
  std::string lower = Lower(hw::Utf16ToUtf8(baseName));
  for (const char *dll : kHostwinDlls) {
    if (lower == std::string(dll) + ".dll") {
      std::string path = hw::HostwinLibraryDir() + "/libhw_" + dll + ".so";
      if (FileExists(path)) return path;
    }
  }
  return std::string();
}

// Where LoadLibraryW looks for a bare name: the program's folder, the system
// folder, then the current folder.
hw::HostPath FindModuleFile(std::u16string_view name) {
  if (name.find_first_of(u"\\/") != std::u16string_view::npos) {
    std::u16string path(name);
    if (path.find(u'.', path.find_last_of(u"\\/") + 1) == std::u16string::npos) path += u".dll";
    return hw::ToHostPath(path);
  }
  std::u16string base = RequestedBaseName(name);
  std::string self = hw::ModuleHostPath(nullptr);
  std::u16string folders[] = {hw::ToWindowsPath(self.substr(0, self.find_last_of('/'))),
                              u"C:\\windows\\system32", u"."};
  for (const auto &folder : folders) {
    hw::HostPath candidate = hw::ToHostPath(folder + u"\\" + base);
    if (!candidate.error && FileExists(candidate.path)) return candidate;
  }
  return hw::HostPath{std::string(), ERROR_MOD_NOT_FOUND};
}

// "_Name@4" and "Name@4" name the function "Name".
std::string Undecorated(const char *name) {
  std::string text(name);
  size_t at = text.rfind('@');
  if (at == std::string::npos || at + 1 == text.size()) return std::string();
  for (size_t k = at + 1; k < text.size(); ++k) {
    if (!isdigit(static_cast<unsigned char>(text[k]))) return std::string();
  }
  text.erase(at);
  if (!text.empty() && text[0] == '_') text.erase(0, 1);
  return text;
}

void *HandleOf(HMODULE module) {
  if (!module || module == BaseOfHandle(MainProgram())) return MainProgram();
  auto it = Loaded().find(module);
  if (it != Loaded().end()) return it->second.dl;
  Dl_info info{};
  if (dladdr(module, &info) && info.dli_fbase == module && info.dli_fname)
    return dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD);  // balanced by the caller
  return nullptr;
}

}  // namespace

namespace hw {

HMODULE ModuleFromAddress(const void *address) {
  Dl_info info{};
  if (!address || !dladdr(address, &info)) return nullptr;
  return static_cast<HMODULE>(info.dli_fbase);
}

std::string ModuleHostPath(HMODULE module) {
  if (!module || module == BaseOfHandle(MainProgram())) {
    char buffer[4096];
    ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    return n > 0 ? std::string(buffer, static_cast<size_t>(n)) : std::string();
  }
  Dl_info info{};
  if (dladdr(module, &info) && info.dli_fbase == module && info.dli_fname) return info.dli_fname;
  return std::string();
}

std::string HostwinLibraryDir() {
  std::string path = ModuleHostPath(ModuleFromAddress(reinterpret_cast<const void *>(&HostwinLibraryDir)));
  return path.substr(0, path.find_last_of('/'));
}

}  // namespace hw

extern "C" HMODULE WINAPI LoadLibraryW(LPCWSTR lpLibFileName) {
  if (!lpLibFileName || !*lpLibFileName) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  std::u16string_view name = hw::View(lpLibFileName);
  std::u16string baseName = RequestedBaseName(name);
  std::string file = HostwinModuleFile(baseName);
  std::u16string windowsPath = u"C:\\windows\\system32\\" + hw::ToUpper(baseName.substr(0, 1)) + baseName.substr(1);
  if (file.empty()) {
    hw::HostPath found = FindModuleFile(name);
    if (found.error || !FileExists(found.path)) {
      SetLastError(ERROR_MOD_NOT_FOUND);
      return nullptr;
    }
    file = found.path;
    windowsPath = hw::ToWindowsPath(file);
  }

  std::lock_guard<std::recursive_mutex> guard(ModuleLock());
  void *dl = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!dl) {
    SetLastError(ERROR_BAD_EXE_FORMAT);
    return nullptr;
  }
  HMODULE module = BaseOfHandle(dl);
  LoadedModule &entry = Loaded()[module];
  if (entry.refs++ > 0) {
    dlclose(dl);  // dlopen counted it again; our count is enough
    return module;
  }
  entry.dl = dl;
  entry.windowsPath = windowsPath;
  auto dllMain = reinterpret_cast<DllMainProc>(dlsym(dl, "DllMain"));
  if (dllMain && hw::ModuleFromAddress(reinterpret_cast<const void *>(dllMain)) == module &&
      !dllMain(module, DLL_PROCESS_ATTACH, nullptr)) {
    Loaded().erase(module);
    dlclose(dl);
    SetLastError(ERROR_DLL_INIT_FAILED);
    return nullptr;
  }
  return module;
}

extern "C" BOOL WINAPI FreeLibrary(HMODULE hLibModule) {
  std::lock_guard<std::recursive_mutex> guard(ModuleLock());
  auto it = Loaded().find(hLibModule);
  if (it == Loaded().end()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (--it->second.refs > 0) return TRUE;
  void *dl = it->second.dl;
  Loaded().erase(it);
  auto dllMain = reinterpret_cast<DllMainProc>(dlsym(dl, "DllMain"));
  if (dllMain && hw::ModuleFromAddress(reinterpret_cast<const void *>(dllMain)) == hLibModule)
    dllMain(hLibModule, DLL_PROCESS_DETACH, nullptr);
  dlclose(dl);
  return TRUE;
}

extern "C" FARPROC WINAPI GetProcAddress(HMODULE hModule, LPCSTR lpProcName) {
  if (!lpProcName || IS_INTRESOURCE(lpProcName)) {
    SetLastError(ERROR_PROC_NOT_FOUND);  // exports by ordinal do not exist on the host
    return nullptr;
  }
  std::lock_guard<std::recursive_mutex> guard(ModuleLock());
  bool borrowed = hModule && hModule != BaseOfHandle(MainProgram()) && !Loaded().count(hModule);
  void *dl = HandleOf(hModule);
  if (!dl) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  HMODULE module = hModule ? hModule : BaseOfHandle(MainProgram());
  // Only the module's own exports count, not those of the libraries it uses.
  auto lookup = [&](const char *symbol) -> void * {
    void *address = dlsym(dl, symbol);
    return address && hw::ModuleFromAddress(address) == module ? address : nullptr;
  };
  void *address = lookup(lpProcName);
  if (!address) {
    std::string plain = Undecorated(lpProcName);
    if (!plain.empty()) address = lookup(plain.c_str());
  }
  if (borrowed) dlclose(dl);
  if (!address) {
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
  }
  return reinterpret_cast<FARPROC>(address);
}

extern "C" HMODULE WINAPI GetModuleHandleW(LPCWSTR lpModuleName) {
  if (!lpModuleName) return BaseOfHandle(MainProgram());
  std::u16string baseName = RequestedBaseName(hw::View(lpModuleName));
  std::lock_guard<std::recursive_mutex> guard(ModuleLock());
  for (const auto &[module, entry] : Loaded()) {
    const std::u16string &path = entry.windowsPath;
    if (hw::EqualsNoCase(std::u16string_view(path).substr(path.find_last_of(u'\\') + 1), baseName)) return module;
  }
  std::string file = HostwinModuleFile(baseName);
  if (!file.empty()) {
    if (void *dl = dlopen(file.c_str(), RTLD_NOW | RTLD_NOLOAD)) {
      HMODULE module = BaseOfHandle(dl);
      dlclose(dl);
      return module;
    }
  }
  SetLastError(ERROR_MOD_NOT_FOUND);
  return nullptr;
}

extern "C" DWORD WINAPI GetModuleFileNameW(HMODULE hModule, LPWSTR lpFilename, DWORD nSize) {
  std::u16string path;
  {
    std::lock_guard<std::recursive_mutex> guard(ModuleLock());
    auto it = Loaded().find(hModule);
    if (it != Loaded().end()) path = it->second.windowsPath;
  }
  if (path.empty()) {
    std::string host = hw::ModuleHostPath(hModule);
    if (host.empty()) {
      SetLastError(ERROR_MOD_NOT_FOUND);
      return 0;
    }
    std::string file = host.substr(host.find_last_of('/') + 1);
    if (file.rfind("libhw_", 0) == 0 && file.size() > 9) {
      path = u"C:\\windows\\system32\\" + hw::Utf8ToUtf16(file.substr(6, file.size() - 9)) + u".dll";
    } else {
      path = hw::ToWindowsPath(host);
    }
  }
  if (!lpFilename || nSize == 0) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  if (path.size() >= nSize) {
    // Truncated and terminated, with the whole buffer as the result.
    path.copy(lpFilename, nSize - 1);
    lpFilename[nSize - 1] = 0;
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return nSize;
  }
  path.copy(lpFilename, path.size());
  lpFilename[path.size()] = 0;
  SetLastError(ERROR_SUCCESS);
  return static_cast<DWORD>(path.size());
}

extern "C" BOOL WINAPI DisableThreadLibraryCalls(HMODULE hLibModule) { return TRUE; }
