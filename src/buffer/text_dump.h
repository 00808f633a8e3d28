// SAVECSB's plain dump: the text of the screen buffer, rows 0 to the cursor's, in the dump's frame.
#pragma once
#include "frame/rows.h"

namespace zarnith {

// Runs the dump into `name` (appended to with `append`).
int DumpText(Row self, const wchar_t* name, bool append);

}  // namespace zarnith
