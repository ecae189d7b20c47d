// HOSTWIN_ configuration and the prefix that stands for drive C:.
#include "hw/config.h"

#include "hw/text.h"

#include <pwd.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <mutex>
#include <set>
#include <system_error>

namespace hw {
namespace {

std::string DefaultPrefix() {
  std::string home = Env("HOME");
  if (home.empty()) {
    if (const passwd *pw = getpwuid(getuid())) home = pw->pw_dir;
  }
  if (home.empty()) home = "/tmp";
  return home + "/.hostwin";
}

std::string HostLoginName() {
  if (const passwd *pw = getpwuid(getuid())) {
    if (pw->pw_name && *pw->pw_name) return pw->pw_name;
  }
  return "user";
}

// Creates the prefix's standard folders the first time a prefix is used in
// this process. Creation is idempotent, so two processes may race.
void EnsurePrefixLayout(const std::string &prefix, const std::string &user) {
  static std::mutex lock;
  static std::set<std::string> prepared;
  std::lock_guard<std::mutex> guard(lock);
  std::string key = prefix + '\n' + user;
  if (prepared.count(key)) return;
  const std::string profile = prefix + "/users/" + user;
  const char *folders[] = {"/windows/system32", "/windows/syswow64", "/windows/Installer",
                           "/windows/Temp", "/Program Files", "/Program Files (x86)",
                           "/ProgramData"};
  std::error_code ec;
  for (const char *folder : folders) std::filesystem::create_directories(prefix + folder, ec);
  const char *userFolders[] = {"/Temp", "/Desktop", "/AppData/Roaming", "/AppData/Local"};
  for (const char *folder : userFolders) std::filesystem::create_directories(profile + folder, ec);
  prepared.insert(key);
}

}  // namespace

std::string Env(const char *name) {
  const char *value = getenv(name);
  return value ? std::string(value) : std::string();
}

std::string Prefix() {
  std::string prefix = Env("HOSTWIN_PREFIX");
  if (prefix.empty()) prefix = DefaultPrefix();
  while (prefix.size() > 1 && prefix.back() == '/') prefix.pop_back();
  if (prefix.front() != '/') {
    std::error_code ec;
    prefix = std::filesystem::absolute(prefix, ec).lexically_normal().string();
    while (prefix.size() > 1 && prefix.back() == '/') prefix.pop_back();
  }
  EnsurePrefixLayout(prefix, Utf16ToUtf8(UserName()));
  return prefix;
}

std::u16string UserName() {
  std::string name = Env("HOSTWIN_USER");
  if (name.empty()) name = HostLoginName();
  // A user name is one path segment of the profile folder.
  for (char &c : name) {
    if (c == '/' || c == '\\') c = '_';
  }
  return Utf8ToUtf16(name);
}

WindowsVersion Version() {
  // Windows 10 unless told otherwise; a bare major.minor takes the build of
  // that release's last service pack.
  WindowsVersion v{10, 0, 19045};
  std::string text = Env("HOSTWIN_WINVER");
  if (text.empty()) return v;
  unsigned major = 0, minor = 0, build = 0;
  int n = sscanf(text.c_str(), "%u.%u.%u", &major, &minor, &build);
  if (n < 1 || major == 0 || major > 255 || minor > 255) return v;
  v.major = major;
  v.minor = n >= 2 ? minor : 0;
  if (n == 3) {
    v.build = build & 0x7FFF;
  } else if (major == 5 && v.minor == 0) {
    v.build = 2195;
  } else if (major == 5 && v.minor == 1) {
    v.build = 2600;
  } else if (major == 5) {
    v.build = 3790;
  } else if (major == 6 && v.minor == 0) {
    v.build = 6002;
  } else if (major == 6 && v.minor == 1) {
    v.build = 7601;
  } else if (major == 6 && v.minor == 2) {
    v.build = 9200;
  } else if (major == 6) {
    v.build = 9600;
  }
  return v;
}

Arch Architecture() {
  std::string text = Env("HOSTWIN_ARCH");
  if (text == "x86") return Arch::X86;
  if (text == "x64" || text == "amd64") return Arch::X64;
  if (text == "ia64") return Arch::Ia64;
  return Arch::X86OnX64;
}

std::string RuntimeDir() {
  std::string dir = Env("HOSTWIN_RUNTIME_DIR");
  if (dir.empty()) {
    struct stat st{};
    std::string base = (stat("/dev/shm", &st) == 0 && S_ISDIR(st.st_mode)) ? "/dev/shm" : "/tmp";
    std::error_code ec;
    std::string prefix = Prefix();
    auto canonical = std::filesystem::weakly_canonical(prefix, ec);
    if (!ec) prefix = canonical.string();
    char name[64];
    snprintf(name, sizeof name, "/hostwin-%u-%016zx", static_cast<unsigned>(getuid()),
             std::hash<std::string>{}(prefix));
    dir = base + name;
  }
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  chmod(dir.c_str(), 0700);
  return dir;
}

std::u16string WindowsDirectory() { return u"C:\\windows"; }

std::u16string SystemDirectory() { return u"C:\\windows\\system32"; }

std::u16string UserProfileDirectory() { return u"C:\\users\\" + UserName(); }

std::u16string TempDirectory() { return UserProfileDirectory() + u"\\Temp\\"; }

}  // namespace hw
