// SAVECSB: its arguments, and which dump they ask for.
#include <optional>

#include "buffer/colour_dump.h"
#include "buffer/text_dump.h"
#include "frame/entry.h"
#include "frame/helpers.h"
#include "frame/messages.h"
#include "frame/rows.h"

namespace zarnith {

namespace {

constexpr const wchar_t* kHelp =
    L"Save the contents of the console screen buffer to a file\r\n\r\n  SAVECSB [/A] [/C | /H] file\r\n\r\n"
    L"    File is created if not found\r\n    /A : append to file (else write new file)\r\n"
    L"    /C : keep the colours as ANSI sequences (TYPE the file in a console with VT processing)\r\n"
    L"    /H : write a web page in the console's colours (a new file; not with /A)\r\n";

int RunSavecsb(Row self, wchar_t* line) {
    const ArgumentArray args = SplitArguments(line);
    if (!args) return self.Fail(message::kNoMemory);
    if (args.count() < 2) {
        PrintLines(kHelp);
        return -1;
    }
    bool append = false;
    std::optional<ColourFormat> colours;
    bool twoFormats = false;
    const wchar_t* name = nullptr;
    for (int i = 1; i < args.count(); ++i) {
        if (lstrcmpiW(args[i], L"/A") == 0) {
            append = true;
        } else if (lstrcmpiW(args[i], L"/C") == 0) {
            twoFormats = twoFormats || colours == ColourFormat::Page;
            colours = ColourFormat::Sequences;
        } else if (lstrcmpiW(args[i], L"/H") == 0) {
            twoFormats = twoFormats || colours == ColourFormat::Sequences;
            colours = ColourFormat::Page;
        } else if (lstrcmpiW(args[i], L"/?") == 0) {
            PrintLines(kHelp);
            return 0;
        } else if (name != nullptr) {
            name = nullptr;  // two file names: a syntax error
            break;
        } else {
            name = args[i];
        }
    }
    if (name == nullptr || twoFormats) return self.Fail(message::kSavecsbSyntax);
    if (!colours) return DumpText(self, name, append);
    // A page is one whole document: a second one appended would not be a page.
    if (append && *colours == ColourFormat::Page)
        return self.Fail(message::kSavecsbAppendPage);
    return DumpWithColours(self, name, append, *colours);
}

}  // namespace

}  // namespace zarnith

ZARNITH_SHELL(SAVECSB, zarnith::RunSavecsb)
