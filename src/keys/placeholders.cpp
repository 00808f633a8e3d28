#include "frame/placeholder.h"
#include "keys/altenter.h"

ZARNITH_PLACEHOLDER(_ALTENTER, L"_ALTENTER")
ZARNITH_PLACEHOLDER(_FGCONSOLE, L"_FGCONSOLE")
ZARNITH_PLACEHOLDER(ALTENTER, L"ALTENTER")
ZARNITH_PLACEHOLDER(CYCLE, L"CYCLE")
int KEYHANDLER(KeyRecord*) noexcept { return zarnith::NotImplemented(L"*KEYHANDLER"); }
void zarnith::RemoveAltEnterHook() noexcept {}
