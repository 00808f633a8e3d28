// Whether the last extended key at the prompt was F1 or Ctrl-F1: set by the key handler, read by
// the built-in help.
#pragma once

namespace zarnith { extern int HelpKeyFlag; }
