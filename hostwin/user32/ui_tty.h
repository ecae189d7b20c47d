// The `tty` driver: boxes drawn in the terminal (/dev/tty, so that standard
// output may be redirected) and answered with keys.
#pragma once

#include "hw/ui.h"

#include <termios.h>

#include <memory>
#include <string>

namespace hw::ui::tty {

class Terminal {
 public:
  // The controlling terminal in key-by-key mode, or null when there is none.
  static std::unique_ptr<Terminal> Open();
  ~Terminal();
  Terminal(const Terminal &) = delete;
  Terminal &operator=(const Terminal &) = delete;

  void Write(const std::string &utf8);
  // One key; with `wait` false, -1 when no key is waiting. -1 at the end of
  // input.
  int ReadKey(bool wait);

 private:
  Terminal(int fd, const termios &saved) : m_fd(fd), m_saved(saved) {}
  int m_fd;
  termios m_saved;
};

// The box as text: title, wrapped text and the buttons with their keys.
std::string DrawBox(const Prompt &prompt);
// The progress line of a dialog (begins with a carriage return).
std::string DrawProgress(int percent);
// The button that a key chooses (its access key, Enter for the default,
// Escape for Cancel or a lone OK), or 0.
int ButtonForKey(const Prompt &prompt, int key);

}  // namespace hw::ui::tty
