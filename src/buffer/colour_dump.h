// SAVECSB /C and /H: the same rows as the plain dump, with their colours: as ANSI/VT "select
// graphic rendition" sequences in the dump's frame (/C), or as a self-contained web page (/H).
#pragma once
#include <windows.h>

#include "frame/rows.h"

namespace zarnith {

enum class ColourFormat {
    Sequences,  // /C: written through the host, one row per call, like the plain dump
    Page,       // /H: UTF-8 HTML, written by the plug-in itself
};

// Runs the dump into `name` (appended to with `append`, which the caller allows for /C only).
int DumpWithColours(Row self, const wchar_t* name, bool append, ColourFormat format);

}  // namespace zarnith
