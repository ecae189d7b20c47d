// Named mutexes shared by every process of a prefix.
//
// Each open handle holds a shared advisory lock on the name's file in the
// runtime folder. A name exists exactly while some handle holds that lock, so
// it vanishes with its last holder, even one that is killed. Creation tests
// for other holders with a non-blocking exclusive lock, under a guard lock so
// that two creators cannot both believe they were first.
#include <winbase.h>

#include "hw/handles.h"
#include "hw/runtime.h"
#include "hw/text.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

class MutexObject : public hw::KernelObject {
 public:
  explicit MutexObject(int fd) : m_fd(fd) {}
  ~MutexObject() override {
    if (m_fd >= 0) close(m_fd);
  }

 private:
  int m_fd;
};

}  // namespace

extern "C" HANDLE WINAPI CreateMutexW(LPSECURITY_ATTRIBUTES lpMutexAttributes, BOOL bInitialOwner, LPCWSTR lpName) {
  if (!lpName || !*lpName) {
    SetLastError(ERROR_SUCCESS);
    return hw::AllocHandle(std::make_shared<MutexObject>(-1));
  }
  std::u16string_view name = hw::View(lpName);
  const char *space = "session";
  if (name.rfind(u"Global\\", 0) == 0) {
    space = "global";
    name.remove_prefix(7);
  } else if (name.rfind(u"Local\\", 0) == 0) {
    name.remove_prefix(6);
  }
  if (name.find(u'\\') != std::u16string_view::npos) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return nullptr;
  }
  std::string dir = hw::RuntimeSubdir((std::string("mutex-") + space).c_str());
  std::string path = dir + "/" + hw::EscapeObjectName(hw::Utf16ToUtf8(name));
  hw::FileLock guard(path + ".guard");
  int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (!guard.ok() || fd < 0) {
    if (fd >= 0) close(fd);
    SetLastError(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  const bool existed = flock(fd, LOCK_EX | LOCK_NB) != 0;
  while (flock(fd, LOCK_SH) != 0) {
  }
  HANDLE handle = hw::AllocHandle(std::make_shared<MutexObject>(fd));
  SetLastError(existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
  return handle;
}
