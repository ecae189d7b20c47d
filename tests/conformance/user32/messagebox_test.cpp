// MessageBoxW through each user-interface driver (none, script, tty), the
// transcript line of every box, and the driver's dialogs with progress.
#include <windows.h>

#include "TestEnvironment.h"
#include "hw/text.h"
#include "hw/ui.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <thread>
#include <vector>

namespace {

std::vector<std::string> Lines(const std::string &text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

class Driver : public testing::Test {
 protected:
  void SetUp() override {
    m_dir = testenv::MakeTempDir("ui");
    m_transcript = m_dir + "/transcript.jsonl";
    setenv("HOSTWIN_TRANSCRIPT", m_transcript.c_str(), 1);
    setenv("HOSTWIN_UI", "none", 1);
    unsetenv("HOSTWIN_UI_SCRIPT");
  }
  void TearDown() override {
    setenv("HOSTWIN_UI", "none", 1);
    unsetenv("HOSTWIN_UI_SCRIPT");
  }
  void UseScript(const std::string &script) {
    // A new file for each script, so that its rules start unused.
    std::string path = m_dir + "/script" + std::to_string(++m_scripts) + ".txt";
    testenv::WriteFile(path, script);
    setenv("HOSTWIN_UI", "script", 1);
    setenv("HOSTWIN_UI_SCRIPT", path.c_str(), 1);
  }
  std::vector<std::string> Transcript() const { return Lines(testenv::ReadFile(m_transcript)); }

  std::string m_dir;
  std::string m_transcript;
  int m_scripts = 0;
};

TEST_F(Driver, NoneClosesTheBox) {
  struct Row {
    UINT style;
    int answer;
  } rows[] = {
      {MB_OK | MB_ICONINFORMATION, IDOK},
      {MB_OKCANCEL, IDCANCEL},
      {MB_YESNO | MB_ICONQUESTION, IDNO},
      {MB_YESNOCANCEL | MB_ICONQUESTION, IDCANCEL},
      {MB_RETRYCANCEL, IDCANCEL},
      {MB_ABORTRETRYIGNORE, IDIGNORE},
      {MB_OK | MB_ICONERROR, IDOK},
  };
  for (const Row &row : rows) EXPECT_EQ(MessageBoxW(nullptr, u"text", u"title", row.style), row.answer) << row.style;
  EXPECT_EQ(Transcript().size(), std::size(rows));
}

TEST_F(Driver, TranscriptLineOfABox) {
  EXPECT_EQ(MessageBoxW(nullptr, u"Line one\nsays \"hi\"\tand \u00e9", u"Setup Orvandel 2.0",
                        MB_YESNO | MB_ICONQUESTION),
            IDNO);
  std::vector<std::string> lines = Transcript();
  ASSERT_EQ(lines.size(), 1u);
  const std::string &line = lines[0];
  EXPECT_EQ(line.rfind("{\"kind\":\"messagebox\",", 0), 0u) << line;
  EXPECT_NE(line.find("\"title\":\"Setup Orvandel 2.0\""), std::string::npos) << line;
  EXPECT_NE(line.find("\"text\":\"Line one\\nsays \\\"hi\\\"\\tand \xc3\xa9\""), std::string::npos) << line;
  EXPECT_NE(line.find("\"style\":36"), std::string::npos) << line;
  EXPECT_NE(line.find("\"buttons\":[\"Yes\",\"No\"]"), std::string::npos) << line;
  EXPECT_NE(line.find("\"driver\":\"none\""), std::string::npos) << line;
  EXPECT_NE(line.find("\"answer\":\"No\",\"answerId\":7"), std::string::npos) << line;
  EXPECT_EQ(line.back(), '}');
}

TEST_F(Driver, DefaultsAndBadStyles) {
  EXPECT_EQ(MessageBoxW(nullptr, u"no caption", nullptr, MB_OK), IDOK);
  EXPECT_NE(Transcript().at(0).find("\"title\":\"Error\""), std::string::npos) << "the default caption";
  SetLastError(0);
  EXPECT_EQ(MessageBoxW(nullptr, u"text", u"title", 0x0000000F), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_MSGBOX_STYLE));
  EXPECT_EQ(Transcript().size(), 1u) << "an invalid box is not shown";
}

TEST_F(Driver, ScriptAnswersInOrderByTitleAndText) {
  UseScript(
      "# answers for one run\n"
      "answer Yes text \"different version\"\n"
      "answer No  title \"Setup\"   # the next Setup box\n"
      "answer Cancel\n"
      "answer 7\n");
  EXPECT_EQ(MessageBoxW(nullptr, u"Usage:", u"Setup X", MB_YESNOCANCEL), IDNO) << "the first rule is for another text";
  EXPECT_EQ(MessageBoxW(nullptr, u"A different version of X", u"Setup X", MB_YESNO), IDYES);
  EXPECT_EQ(MessageBoxW(nullptr, u"copy?", u"Other", MB_YESNOCANCEL), IDCANCEL);
  EXPECT_EQ(MessageBoxW(nullptr, u"by id", u"Other", MB_YESNO), IDNO);
  EXPECT_EQ(MessageBoxW(nullptr, u"nothing left", u"Other", MB_YESNO), IDNO);
  std::vector<std::string> lines = Transcript();
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_NE(lines[0].find("\"scriptLine\":3"), std::string::npos) << lines[0];
  EXPECT_NE(lines[1].find("\"scriptLine\":2"), std::string::npos) << lines[1];
  EXPECT_NE(lines[4].find("\"script\":\"exhausted"), std::string::npos) << lines[4];
  EXPECT_NE(lines[4].find("\"answer\":\"No\""), std::string::npos) << "as none answers";
}

TEST_F(Driver, ScriptProblemsAnswerAsNone) {
  UseScript("answer Yes\nanswr No\n");
  EXPECT_EQ(MessageBoxW(nullptr, u"t", u"c", MB_YESNO), IDNO);
  EXPECT_NE(Transcript().back().find("\"script\":\"invalid script: line 2: expected 'answer' or 'press'"),
            std::string::npos)
      << Transcript().back();

  UseScript("answer Retry\n");
  EXPECT_EQ(MessageBoxW(nullptr, u"t", u"c", MB_YESNO), IDNO);
  EXPECT_NE(Transcript().back().find("has no button 'Retry'"), std::string::npos) << Transcript().back();

  setenv("HOSTWIN_UI_SCRIPT", (m_dir + "/missing.txt").c_str(), 1);
  EXPECT_EQ(MessageBoxW(nullptr, u"t", u"c", MB_OKCANCEL), IDCANCEL);
  EXPECT_NE(Transcript().back().find("\"script\":\"cannot read"), std::string::npos) << Transcript().back();

  UseScript("press Cancel at 130%\n");
  EXPECT_EQ(MessageBoxW(nullptr, u"t", u"c", MB_OKCANCEL), IDCANCEL);
  EXPECT_NE(Transcript().back().find("line 1: 'at' needs a percentage"), std::string::npos) << Transcript().back();
}

TEST_F(Driver, DialogPressedAtAProgress) {
  UseScript(
      "press Cancel name \"ProgressDlg\" at 30%\n"
      "answer Yes title \"Cancel\"\n");
  hw::ui::Prompt prompt;
  prompt.kind = "dialog";
  prompt.name = u"ProgressDlg";
  prompt.title = u"Orvandel 2.0 Setup";
  prompt.text = u"Downloading";
  prompt.buttons = {{IDCANCEL, u"Cancel"}};
  int pressedAt = -1;
  {
    hw::ui::Dialog dialog(prompt);
    for (int percent = 0; percent <= 100 && pressedAt < 0; percent += 10) {
      if (dialog.SetProgress(percent) == IDCANCEL) pressedAt = percent;
    }
    EXPECT_EQ(dialog.Poll(), 0) << "pressed once";
    hw::ui::Prompt confirm;
    confirm.kind = "dialog";
    confirm.title = u"Cancel";
    confirm.text = u"Are you sure you want to cancel?";
    confirm.buttons = {{IDYES, u"&Yes"}, {IDNO, u"&No"}};
    EXPECT_EQ(hw::ui::Ask(confirm), IDYES);
  }
  EXPECT_EQ(pressedAt, 30);
  std::vector<std::string> lines = Transcript();
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_NE(lines[0].find("\"event\":\"show\""), std::string::npos) << lines[0];
  EXPECT_NE(lines[1].find("\"event\":\"press\""), std::string::npos) << lines[1];
  EXPECT_NE(lines[1].find("\"progress\":30"), std::string::npos) << lines[1];
  EXPECT_NE(lines[1].find("\"answer\":\"Cancel\""), std::string::npos) << lines[1];
  EXPECT_NE(lines[2].find("\"answer\":\"Yes\""), std::string::npos) << lines[2];
  EXPECT_NE(lines[3].find("\"event\":\"close\""), std::string::npos) << lines[3];
}

TEST_F(Driver, NobodyPressesADialogWithoutAScript) {
  hw::ui::Prompt prompt;
  prompt.kind = "dialog";
  prompt.buttons = {{IDCANCEL, u"Cancel"}};
  hw::ui::Dialog dialog(prompt);
  for (int percent = 0; percent <= 100; percent += 25) EXPECT_EQ(dialog.SetProgress(percent), 0);
}

TEST_F(Driver, TranscriptLinesStayWholeAcrossThreadsAndProcesses) {
  constexpr int kThreads = 4, kProcesses = 3, kBoxes = 40;
  std::string longText(3000, 'x');  // longer than a pipe's atomic write
  std::vector<pid_t> children;
  for (int p = 0; p < kProcesses; ++p) {
    pid_t pid = fork();
    if (pid == 0) {
      execl(BOX_PROGRAM, BOX_PROGRAM, "1", "child", longText.c_str(), std::to_string(kBoxes).c_str(),
            static_cast<char *>(nullptr));
      _exit(127);
    }
    children.push_back(pid);
  }
  std::u16string text = hw::Utf8ToUtf16(longText);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&] {
      for (int k = 0; k < kBoxes; ++k) MessageBoxW(nullptr, text.c_str(), u"thread", MB_OKCANCEL);
    });
  }
  for (auto &thread : threads) thread.join();
  for (pid_t pid : children) {
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == IDCANCEL);
  }
  std::vector<std::string> lines = Transcript();
  ASSERT_EQ(lines.size(), static_cast<size_t>((kThreads + kProcesses) * kBoxes));
  for (const std::string &line : lines) {
    ASSERT_EQ(line.rfind("{\"kind\":\"messagebox\"", 0), 0u) << line.substr(0, 80);
    ASSERT_NE(line.find("\"answer\":\"Cancel\",\"answerId\":2}"), std::string::npos) << line.substr(0, 80);
  }
}

// Runs the box program under a new pseudo-terminal, sends `keys` once the
// box is drawn, and returns the program's answer (its exit status).
int AnswerOnTerminal(UINT style, const std::string &keys, std::string *screen) {
  int master = posix_openpt(O_RDWR | O_NOCTTY);
  if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) return -1;
  std::string slaveName = ptsname(master);
  pid_t pid = fork();
  if (pid == 0) {
    setsid();
    int slave = open(slaveName.c_str(), O_RDWR);
    ioctl(slave, TIOCSCTTY, 0);
    dup2(slave, 0);
    dup2(slave, 1);
    dup2(slave, 2);
    setenv("HOSTWIN_UI", "tty", 1);
    std::string styleText = std::to_string(style);
    execl(BOX_PROGRAM, BOX_PROGRAM, styleText.c_str(), "Setup Orvandel 2.0", "A question for the user?",
          static_cast<char *>(nullptr));
    _exit(127);
  }
  std::string output;
  bool sent = false;
  for (int rounds = 0; rounds < 200; ++rounds) {
    pollfd fd{master, POLLIN, 0};
    if (poll(&fd, 1, 50) > 0) {
      char buffer[4096];
      ssize_t n = read(master, buffer, sizeof buffer);
      if (n <= 0) break;
      output.append(buffer, static_cast<size_t>(n));
    }
    if (!sent && output.find("+\r", output.find("] ")) != std::string::npos) {
      if (write(master, keys.data(), keys.size()) != static_cast<ssize_t>(keys.size())) break;
      sent = true;
    }
    int status = 0;
    if (sent && waitpid(pid, &status, WNOHANG) == pid) {
      close(master);
      *screen = output;
      return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
  }
  // The terminal closed with the program's end, or the program hangs.
  int status = 0;
  if (!sent || waitpid(pid, &status, WNOHANG) != pid) {
    usleep(200000);
    if (waitpid(pid, &status, WNOHANG) != pid) {
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
      status = -1;
    }
  }
  close(master);
  *screen = output;
  return status >= 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(Driver, TtyDrawsTheBoxAndReadsKeys) {
  struct Row {
    UINT style;
    std::string keys;
    int answer;
  } rows[] = {
      {MB_YESNO | MB_ICONQUESTION, "n", IDNO},
      {MB_YESNO | MB_ICONQUESTION, "Y", IDYES},
      {MB_YESNO | MB_DEFBUTTON2, "\r", IDNO},            // Enter takes the default button
      {MB_YESNOCANCEL, "\x1b", IDCANCEL},                // Escape closes a box with Cancel
      {MB_YESNO, std::string("\x1bzq") + "y", IDYES},    // ... and does nothing without one
      {MB_OK, "\x1b", IDOK},
  };
  for (const Row &row : rows) {
    std::string screen;
    EXPECT_EQ(AnswerOnTerminal(row.style, row.keys, &screen), row.answer) << row.style << "\n" << screen;
    EXPECT_NE(screen.find("Setup Orvandel 2.0"), std::string::npos) << screen;
    EXPECT_NE(screen.find("A question for the user?"), std::string::npos) << screen;
  }
  std::vector<std::string> lines = Transcript();
  ASSERT_EQ(lines.size(), std::size(rows));
  EXPECT_NE(lines[0].find("\"driver\":\"tty\""), std::string::npos) << lines[0];
  EXPECT_NE(lines[0].find("\"answer\":\"No\""), std::string::npos) << lines[0];
}

TEST_F(Driver, TtyWithoutATerminalAnswersAsNone) {
  // The test's own process may have a terminal; a child in a new session
  // without one cannot draw.
  pid_t pid = fork();
  if (pid == 0) {
    setsid();
    int null = open("/dev/null", O_RDWR);
    dup2(null, 0);
    setenv("HOSTWIN_UI", "tty", 1);
    execl(BOX_PROGRAM, BOX_PROGRAM, "4", "title", "text", static_cast<char *>(nullptr));
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), IDNO);
  EXPECT_NE(Transcript().at(0).find("\"tty\":\"unavailable\""), std::string::npos) << Transcript().at(0);
}

TEST(UserQueue, NothingToDo) {
  MSG msg{};
  EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(GetForegroundWindow(), nullptr);
}

}  // namespace
