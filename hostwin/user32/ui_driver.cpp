// The user-interface driver: chooses who answers a box (HOSTWIN_UI), asks,
// and records every box and dialog event in the transcript.
#include "hw/config.h"
#include "hw/text.h"
#include "hw/ui.h"
#include "ui_script.h"
#include "ui_tty.h"

#include <unistd.h>

#include <winuser.h>

#include <fstream>
#include <mutex>
#include <optional>
#include <sstream>

namespace hw::ui {
namespace {

// Boxes are shown one at a time; the script's state is the process's.
std::recursive_mutex &DriverLock() {
  static auto *lock = new std::recursive_mutex;
  return *lock;
}

const char *ModeName(Mode mode) {
  switch (mode) {
    case Mode::Tty: return "tty";
    case Mode::Script: return "script";
    default: return "none";
  }
}

// The script of HOSTWIN_UI_SCRIPT, read once per process (again when the
// variable or the file's contents change), and which of its rules are used.
struct LoadedScript {
  std::string path;
  std::string contents;
  Script script;
  std::vector<bool> used;
};

LoadedScript &ScriptState() {
  static auto *state = new LoadedScript;
  return *state;
}

// The current script, or null with the reason in `problem`.
LoadedScript *CurrentScript(std::string &problem) {
  std::string path = Env("HOSTWIN_UI_SCRIPT");
  if (path.empty()) {
    problem = "HOSTWIN_UI_SCRIPT is not set";
    return nullptr;
  }
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    problem = "cannot read " + path;
    return nullptr;
  }
  std::stringstream contents;
  contents << file.rdbuf();
  LoadedScript &state = ScriptState();
  if (state.path != path || state.contents != contents.str()) {
    state.path = path;
    state.contents = contents.str();
    state.script = ParseScript(state.contents);
    state.used.assign(state.script.rules.size(), false);
  }
  if (!state.script.error.empty()) {
    problem = "invalid script: " + state.script.error;
    return nullptr;
  }
  return &state;
}

// The first rule of the kind (answer or press) not used yet that is meant
// for this box.
std::optional<size_t> NextRule(const LoadedScript &state, const Prompt &prompt, bool press) {
  for (size_t k = 0; k < state.script.rules.size(); ++k) {
    const ScriptRule &rule = state.script.rules[k];
    if (!state.used[k] && rule.press == press && RuleMatches(rule, prompt)) return k;
  }
  return std::nullopt;
}

std::u16string LabelOf(const Prompt &prompt, int id) {
  for (const Button &button : prompt.buttons) {
    if (button.id == id) return PlainLabel(button.label);
  }
  return std::u16string();
}

JsonObject Describe(const Prompt &prompt, Mode mode) {
  JsonObject line;
  line.Add("kind", prompt.kind);
  if (!prompt.name.empty()) line.Add("name", prompt.name);
  line.Add("title", prompt.title).Add("text", prompt.text).Add("style", static_cast<long long>(prompt.style));
  std::vector<std::u16string> labels;
  for (const Button &button : prompt.buttons) labels.push_back(PlainLabel(button.label));
  line.Add("buttons", labels).Add("driver", std::string(ModeName(mode))).Add("pid", static_cast<long long>(getpid()));
  return line;
}

void AddAnswer(JsonObject &line, const Prompt &prompt, int id) {
  line.Add("answer", LabelOf(prompt, id)).Add("answerId", static_cast<long long>(id));
}

int AskScript(const Prompt &prompt, JsonObject &line) {
  std::string problem;
  LoadedScript *state = CurrentScript(problem);
  if (!state) {
    line.Add("script", problem);
    return ClosedAnswer(prompt);
  }
  std::optional<size_t> rule = NextRule(*state, prompt, false);
  if (!rule) {
    line.Add("script", std::string("exhausted: no answer left for this box"));
    return ClosedAnswer(prompt);
  }
  state->used[*rule] = true;
  const ScriptRule &chosen = state->script.rules[*rule];
  line.Add("scriptLine", static_cast<long long>(chosen.line));
  int id = RuleButton(chosen, prompt);
  if (!id) {
    line.Add("script", "line " + std::to_string(chosen.line) + ": the box has no button '" +
                           Utf16ToUtf8(chosen.button) + "'");
    return ClosedAnswer(prompt);
  }
  return id;
}

int AskTty(const Prompt &prompt, JsonObject &line) {
  std::unique_ptr<tty::Terminal> terminal = tty::Terminal::Open();
  if (!terminal) {
    line.Add("tty", std::string("unavailable"));
    return ClosedAnswer(prompt);
  }
  terminal->Write(tty::DrawBox(prompt));
  for (;;) {
    int key = terminal->ReadKey(true);
    if (key < 0) return ClosedAnswer(prompt);
    if (int id = tty::ButtonForKey(prompt, key)) {
      terminal->Write("  -> " + Utf16ToUtf8(LabelOf(prompt, id)) + "\r\n");
      return id;
    }
  }
}

}  // namespace

Mode CurrentMode() {
  std::string value = Env("HOSTWIN_UI");
  if (value == "tty") return Mode::Tty;
  if (value == "script") return Mode::Script;
  if (value.empty() && isatty(STDIN_FILENO)) return Mode::Tty;
  return Mode::None;
}

std::vector<Button> MessageBoxButtons(UINT style) {
  switch (style & MB_TYPEMASK) {
    case MB_OK: return {{IDOK, u"OK"}};
    case MB_OKCANCEL: return {{IDOK, u"OK"}, {IDCANCEL, u"Cancel"}};
    case MB_ABORTRETRYIGNORE: return {{IDABORT, u"&Abort"}, {IDRETRY, u"&Retry"}, {IDIGNORE, u"&Ignore"}};
    case MB_YESNOCANCEL: return {{IDYES, u"&Yes"}, {IDNO, u"&No"}, {IDCANCEL, u"Cancel"}};
    case MB_YESNO: return {{IDYES, u"&Yes"}, {IDNO, u"&No"}};
    case MB_RETRYCANCEL: return {{IDRETRY, u"&Retry"}, {IDCANCEL, u"Cancel"}};
    case MB_CANCELTRYCONTINUE: return {{IDCANCEL, u"Cancel"}, {IDTRYAGAIN, u"&Try Again"}, {IDCONTINUE, u"&Continue"}};
    default: return {};
  }
}

int ClosedAnswer(const Prompt &prompt) {
  for (int wanted : {IDCANCEL, IDNO, IDOK}) {
    for (const Button &button : prompt.buttons) {
      if (button.id == wanted) return wanted;
    }
  }
  return prompt.buttons.empty() ? 0 : prompt.buttons.back().id;
}

int Ask(const Prompt &prompt) {
  std::lock_guard<std::recursive_mutex> guard(DriverLock());
  Mode mode = CurrentMode();
  JsonObject line = Describe(prompt, mode);
  int answer;
  switch (mode) {
    case Mode::Script: answer = AskScript(prompt, line); break;
    case Mode::Tty: answer = AskTty(prompt, line); break;
    default: answer = ClosedAnswer(prompt); break;
  }
  AddAnswer(line, prompt, answer);
  AppendTranscript(line.Text());
  return answer;
}

struct Dialog::State {
  Prompt prompt;
  Mode mode;
  int progress = 0;
  std::unique_ptr<tty::Terminal> terminal;
};

Dialog::Dialog(Prompt prompt) : m_state(std::make_unique<State>()) {
  std::lock_guard<std::recursive_mutex> guard(DriverLock());
  m_state->prompt = std::move(prompt);
  if (m_state->prompt.kind == "messagebox") m_state->prompt.kind = "dialog";
  m_state->mode = CurrentMode();
  JsonObject line = Describe(m_state->prompt, m_state->mode);
  line.Add("event", std::string("show"));
  if (m_state->mode == Mode::Tty) {
    m_state->terminal = tty::Terminal::Open();
    if (m_state->terminal) {
      m_state->terminal->Write(tty::DrawBox(m_state->prompt) + tty::DrawProgress(0));
    } else {
      line.Add("tty", std::string("unavailable"));
    }
  }
  AppendTranscript(line.Text());
}

Dialog::~Dialog() {
  std::lock_guard<std::recursive_mutex> guard(DriverLock());
  if (m_state->terminal) m_state->terminal->Write("\r\n");
  JsonObject line;
  line.Add("kind", m_state->prompt.kind);
  if (!m_state->prompt.name.empty()) line.Add("name", m_state->prompt.name);
  line.Add("title", m_state->prompt.title).Add("event", std::string("close"));
  line.Add("progress", static_cast<long long>(m_state->progress)).Add("pid", static_cast<long long>(getpid()));
  AppendTranscript(line.Text());
}

void Dialog::SetText(std::u16string text) {
  std::lock_guard<std::recursive_mutex> guard(DriverLock());
  m_state->prompt.text = std::move(text);
  if (m_state->terminal)
    m_state->terminal->Write("\r\n  " + Utf16ToUtf8(m_state->prompt.text) + "\r\n" + tty::DrawProgress(m_state->progress));
}

int Dialog::SetProgress(int percent) {
  {
    std::lock_guard<std::recursive_mutex> guard(DriverLock());
    m_state->progress = percent < 0 ? 0 : (percent > 100 ? 100 : percent);
    if (m_state->terminal) m_state->terminal->Write(tty::DrawProgress(m_state->progress));
  }
  return Poll();
}

int Dialog::Poll() {
  std::lock_guard<std::recursive_mutex> guard(DriverLock());
  const Prompt &prompt = m_state->prompt;
  int id = 0;
  JsonObject line;
  line.Add("kind", prompt.kind);
  if (!prompt.name.empty()) line.Add("name", prompt.name);
  line.Add("title", prompt.title).Add("event", std::string("press"));
  if (m_state->mode == Mode::Script) {
    std::string problem;
    LoadedScript *state = CurrentScript(problem);
    std::optional<size_t> rule = state ? NextRule(*state, prompt, true) : std::nullopt;
    if (!rule || state->script.rules[*rule].atPercent > m_state->progress) return 0;
    state->used[*rule] = true;
    const ScriptRule &chosen = state->script.rules[*rule];
    line.Add("scriptLine", static_cast<long long>(chosen.line));
    id = RuleButton(chosen, prompt);
    if (!id)
      line.Add("script", "line " + std::to_string(chosen.line) + ": the dialog has no button '" +
                             Utf16ToUtf8(chosen.button) + "'");
  } else if (m_state->terminal) {
    id = tty::ButtonForKey(prompt, m_state->terminal->ReadKey(false));
    if (!id) return 0;
  } else {
    return 0;
  }
  line.Add("progress", static_cast<long long>(m_state->progress));
  AddAnswer(line, prompt, id);
  line.Add("driver", std::string(ModeName(m_state->mode))).Add("pid", static_cast<long long>(getpid()));
  AppendTranscript(line.Text());
  return id;
}

}  // namespace hw::ui
