// Mistakes that must not compile. Each case is compiled alone by a test of its own
// (tests/CMakeLists.txt), which looks for the compiler's message.
#include "frame/entry.h"

#if defined(PARAMETERS_DIFFER)
ZARNITH_ENTRY int FCLS(LPWSTR line, int extra) noexcept { return extra; }
#elif defined(KEY_HANDLER_TAKES_TEXT)
ZARNITH_SHELL(KEYHANDLER, [](LPWSTR) { return 0; })
#elif defined(MISSPELT_NAME)
ZARNITH_SHELL(FCSL, [](LPWSTR) { return 0; })
#elif defined(WRONG_ROW)
// A shell written by hand that speaks for another row: a row is never made from a name.
ZARNITH_ENTRY int FCLS(LPWSTR) noexcept { return zarnith::Row(L"CLUP").Fail(L"no"); }
#endif
