#include "frame/help_key.h"

namespace zarnith {
int HelpKeyFlag = 0;
}  // namespace zarnith
