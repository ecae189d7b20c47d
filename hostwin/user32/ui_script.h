// The answer script of the `script` driver (HOSTWIN_UI_SCRIPT): one rule a
// line, used in order. See hostwin/README.md for the format.
#pragma once

#include "hw/ui.h"

#include <string>
#include <string_view>
#include <vector>

namespace hw::ui {

struct ScriptRule {
  int line = 0;
  bool press = false;      // `press` (a modeless dialog) or `answer` (a modal box)
  std::u16string button;   // a button's label, or its id as a number
  std::u16string title;    // substrings the box must contain; empty: any
  std::u16string text;
  std::u16string name;
  std::string kind;        // the box's kind; empty: any
  int atPercent = -1;      // `press` only: not before the progress reaches it
};

struct Script {
  std::vector<ScriptRule> rules;
  std::string error;  // "line N: ..." when the script is malformed
};

Script ParseScript(std::string_view text);

// Whether the rule is meant for this box (kind, title, text and name).
bool RuleMatches(const ScriptRule &rule, const Prompt &prompt);

// The id of the rule's button in the box, or 0 when the box has none such.
int RuleButton(const ScriptRule &rule, const Prompt &prompt);

// The label of a button without its access-key marker.
std::u16string PlainLabel(std::u16string_view label);

}  // namespace hw::ui
