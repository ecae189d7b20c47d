// The `tty` driver's drawing and keys.
#include "ui_tty.h"

#include "hw/text.h"
#include "ui_script.h"

#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

#include <winuser.h>

namespace hw::ui::tty {
namespace {

constexpr size_t kWidth = 64;

// Splits text into lines of at most kWidth characters at blanks.
std::vector<std::u16string> Wrap(std::u16string_view text) {
  std::vector<std::u16string> lines;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find(u'\n', start);
    if (end == std::u16string_view::npos) end = text.size();
    std::u16string paragraph(text.substr(start, end - start));
    if (!paragraph.empty() && paragraph.back() == u'\r') paragraph.pop_back();
    while (paragraph.size() > kWidth) {
      size_t cut = paragraph.rfind(u' ', kWidth);
      if (cut == std::u16string::npos || cut == 0) cut = kWidth;
      lines.push_back(paragraph.substr(0, cut));
      paragraph.erase(0, cut < paragraph.size() && paragraph[cut] == u' ' ? cut + 1 : cut);
    }
    lines.push_back(paragraph);
    start = end + 1;
  }
  while (!lines.empty() && lines.back().empty()) lines.pop_back();
  return lines;
}

char16_t AccessKey(const Button &button) {
  size_t amp = button.label.find(u'&');
  char16_t key = amp != std::u16string::npos && amp + 1 < button.label.size() ? button.label[amp + 1]
                                                                              : (button.label.empty() ? 0 : button.label[0]);
  return ToUpper(key);
}

std::string Row(std::u16string_view content) {
  std::u16string padded(content);
  if (padded.size() < kWidth) padded.append(kWidth - padded.size(), u' ');
  return "| " + Utf16ToUtf8(padded) + " |\r\n";
}

}  // namespace

std::unique_ptr<Terminal> Terminal::Open() {
  int fd = open("/dev/tty", O_RDWR | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return nullptr;
  termios saved{};
  if (tcgetattr(fd, &saved) != 0) {
    close(fd);
    return nullptr;
  }
  termios raw = saved;
  raw.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
  raw.c_cc[VMIN] = 1;
  raw.c_cc[VTIME] = 0;
  tcsetattr(fd, TCSANOW, &raw);
  return std::unique_ptr<Terminal>(new Terminal(fd, saved));
}

Terminal::~Terminal() {
  tcsetattr(m_fd, TCSANOW, &m_saved);
  close(m_fd);
}

void Terminal::Write(const std::string &utf8) {
  size_t done = 0;
  while (done < utf8.size()) {
    ssize_t n = write(m_fd, utf8.data() + done, utf8.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    done += static_cast<size_t>(n);
  }
}

int Terminal::ReadKey(bool wait) {
  termios mode{};
  tcgetattr(m_fd, &mode);
  mode.c_cc[VMIN] = wait ? 1 : 0;
  tcsetattr(m_fd, TCSANOW, &mode);
  unsigned char key = 0;
  ssize_t n;
  do {
    n = read(m_fd, &key, 1);
  } while (n < 0 && errno == EINTR);
  return n == 1 ? key : -1;
}

std::string DrawBox(const Prompt &prompt) {
  std::string border = "+" + std::string(kWidth + 2, '-') + "+\r\n";
  std::u16string title = prompt.title.substr(0, kWidth - 4);
  std::string top = "+- " + Utf16ToUtf8(title) + " " + std::string(kWidth - 2 - title.size(), '-') + "+\r\n";
  std::string box = "\r\n" + top;
  for (const std::u16string &line : Wrap(prompt.text)) box += Row(line);
  box += Row(u"");
  std::u16string buttons;
  for (size_t k = 0; k < prompt.buttons.size(); ++k) {
    const Button &button = prompt.buttons[k];
    std::u16string label = PlainLabel(button.label);
    buttons += k == prompt.defaultButton ? u"<" : u" ";
    buttons += u"[" + std::u16string(1, AccessKey(button)) + u"] " + label;
    buttons += k == prompt.defaultButton ? u">" : u" ";
    buttons += u"  ";
  }
  box += Row(buttons.substr(0, kWidth));
  box += border;
  return box;
}

std::string DrawProgress(int percent) {
  constexpr int kBar = 40;
  int filled = percent * kBar / 100;
  return "\r  [" + std::string(static_cast<size_t>(filled), '#') + std::string(static_cast<size_t>(kBar - filled), '.') +
         "] " + std::to_string(percent) + "%  ";
}

int ButtonForKey(const Prompt &prompt, int key) {
  if (key == '\r' || key == '\n') {
    return prompt.defaultButton < prompt.buttons.size() ? prompt.buttons[prompt.defaultButton].id : 0;
  }
  if (key == 27) {
    for (const Button &button : prompt.buttons) {
      if (button.id == IDCANCEL) return IDCANCEL;
    }
    return prompt.buttons.size() == 1 && prompt.buttons[0].id == IDOK ? IDOK : 0;
  }
  if (key <= 0) return 0;
  char16_t upper = ToUpper(static_cast<char16_t>(key));
  for (const Button &button : prompt.buttons) {
    if (AccessKey(button) == upper) return button.id;
  }
  return 0;
}

}  // namespace hw::ui::tty
