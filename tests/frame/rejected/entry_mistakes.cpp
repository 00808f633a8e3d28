// Mistakes that must not compile. Each case is compiled alone by a test of its own
// (tests/CMakeLists.txt), which looks for the compiler's message.
#include "frame/entry.h"
#include "frame/guard.h"

#if defined(PARAMETERS_DIFFER)
ZARNITH_ENTRY int FCLS(LPWSTR line, int extra) noexcept { return extra; }
#elif defined(KEY_HANDLER_TAKES_TEXT)
ZARNITH_ENTRY int KEYHANDLER(LPWSTR line) noexcept { return 0; }
#elif defined(MISSPELT_NAME)
ZARNITH_ENTRY int FCLS(LPWSTR) noexcept { return zarnith::Guarded(L"FCSL", [] { return 0; }); }
#endif
