// The user-interface driver: message boxes now, the installer's dialogs
// later. HOSTWIN_UI chooses who answers:
//   tty     the box is drawn in the terminal and answered with keys;
//   script  answers come from the script file HOSTWIN_UI_SCRIPT (format in
//           hostwin/README.md);
//   none    nobody: a box is taken as closed (Cancel, else No, else OK).
// Every box and dialog event is appended to HOSTWIN_TRANSCRIPT as one JSON
// line, so tests assert on what was shown and answered.
#pragma once

#include <windef.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace hw::ui {

enum class Mode { None, Tty, Script };

// The mode HOSTWIN_UI asks for; unset: tty when standard input is a
// terminal, else none.
Mode CurrentMode();

struct Button {
  int id;                // what Ask returns when it is chosen (IDOK, IDYES, or a dialog's own id)
  std::u16string label;  // as shown, for instance u"Yes"; an '&' marks the access key
};

// What a box or dialog shows.
struct Prompt {
  std::string kind = "messagebox";  // "messagebox", "dialog", ...
  std::u16string name;              // a dialog's name; empty for a message box
  std::u16string title;
  std::u16string text;
  uint32_t style = 0;  // a message box's MB_ style, or a dialog's attributes
  std::vector<Button> buttons;
  size_t defaultButton = 0;  // index into buttons
};

// The buttons of a message box style (MB_OK, MB_YESNO, ...); empty for an
// invalid style.
std::vector<Button> MessageBoxButtons(UINT style);

// The answer of a box that is closed without a choice: Cancel, else No,
// else OK, else the last button (0 when there is none).
int ClosedAnswer(const Prompt &prompt);

// Shows a modal box and returns the id of the chosen button. Safe to call
// from any thread; boxes are shown one at a time.
int Ask(const Prompt &prompt);

// A modeless dialog, shown while the object lives (for instance a progress
// dialog with a Cancel button). The user may press one of its buttons at
// any time; the owner learns of it from SetProgress or Poll.
class Dialog {
 public:
  explicit Dialog(Prompt prompt);
  ~Dialog();
  Dialog(const Dialog &) = delete;
  Dialog &operator=(const Dialog &) = delete;

  void SetText(std::u16string text);
  // Moves the progress bar to `percent` (0 to 100). Returns the id of a
  // button pressed by now, else 0.
  int SetProgress(int percent);
  // The id of a button pressed since the last call, else 0.
  int Poll();

  struct State;

 private:
  std::unique_ptr<State> m_state;
};

// Appends one line (a JSON object without line end) to HOSTWIN_TRANSCRIPT
// in a single write, so lines of several threads and processes never mix.
void AppendTranscript(const std::string &jsonObject);

// Builds one JSON object.
class JsonObject {
 public:
  JsonObject &Add(const char *key, const std::string &utf8);
  JsonObject &Add(const char *key, std::u16string_view text);
  JsonObject &Add(const char *key, long long number);
  JsonObject &Add(const char *key, const std::vector<std::u16string> &texts);
  std::string Text() const { return "{" + m_body + "}"; }

 private:
  void Key(const char *key);
  std::string m_body;
};

}  // namespace hw::ui
