// The help-key flag: set by the key handler after F1 or Ctrl-F1, read by CONHELP, which then shows
// its help on a screen of its own and waits for a key.
#pragma once

namespace zarnith {
extern int HelpKeyFlag;
}  // namespace zarnith
