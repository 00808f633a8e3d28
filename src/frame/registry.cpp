#include "frame/registry.h"

namespace zarnith {

#define ZARNITH_ROW_ENTRY(name, entry, failure, help, ...) RegistrationEntry{name, CommandOf(entry), help},
const std::array<RegistrationEntry, kRegistrationRows> RegistrationTable = {{ZARNITH_ROWS(ZARNITH_ROW_ENTRY)}};
#undef ZARNITH_ROW_ENTRY

}  // namespace zarnith
