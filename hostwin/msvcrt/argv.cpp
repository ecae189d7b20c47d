// The C runtime's wide argument vector of a Unicode program.
#include <windows.h>

#include "hw/process.h"

#include <mutex>
#include <vector>

namespace {

struct ArgumentVector {
  std::mutex lock;
  std::vector<std::u16string> copies;  // stable storage for the pointers
  std::vector<WCHAR *> pointers;
  int count = 0;
  WCHAR **argv = nullptr;
};

ArgumentVector &Vector() {
  static auto *vector = new ArgumentVector;
  std::lock_guard<std::mutex> guard(vector->lock);
  const auto &arguments = hw::ProcessArguments();
  if (vector->copies != arguments) {
    vector->copies = arguments;
    vector->pointers.clear();
    for (auto &argument : vector->copies) vector->pointers.push_back(argument.data());
    vector->pointers.push_back(nullptr);
    vector->count = static_cast<int>(arguments.size());
    vector->argv = vector->pointers.data();
  }
  return *vector;
}

}  // namespace

extern "C" int *WINAPI __p___argc(void) { return &Vector().count; }

extern "C" WCHAR ***WINAPI __p___wargv(void) { return &Vector().argv; }
