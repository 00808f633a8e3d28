// Alt-Enter suppression: ALTENTER, _ALTENTER and the low-level keyboard hook behind them.
#pragma once

namespace zarnith {

// Removes the keyboard hook if ALTENTER /D installed one (ShutdownPlugin).
void RemoveAltEnterHook() noexcept;

}  // namespace zarnith
