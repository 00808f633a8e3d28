#include "frame/placeholder.h"

ZARNITH_PLACEHOLDER(CONHELP, L"CONHELP")
int Help(LPWSTR) noexcept { return 1; }
int Usage(LPWSTR, LPWSTR) noexcept { return 0; }
