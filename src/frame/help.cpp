#include "frame/help.h"

#include <cwchar>
#include <string>

#include "frame/entry.h"
#include "frame/helpers.h"
#include "frame/host.h"
#include "frame/messages.h"
#include "frame/registry.h"
#include "frame/report.h"
#include "frame/services.h"
#include "frame/state.h"
#include "frame/text.h"

namespace zarnith {

void ShowHelpOf(int r) noexcept {
    if (const wchar_t* text = HelpTextOf(r)) {
        PrintLines(text);  // a help text may have lines of its own
        Printf(L"\r\n");
    } else if (r == int(EntryRow::CONHELP)) {
        Printf(L"%s", kConhelpUsage);
    } else if (CommandEntry entry = RegistrationTable[r].Entry) {
        // Commands may write into their line (a tokenizer's terminator): give them room.
        wchar_t request[256] = L"/?";
        entry(request);
    }
}

int RunConhelp(LPWSTR line) {
    if (line == nullptr || NthArgument(line, 0, nullptr, nullptr) == nullptr) {
        Printf(L"%s", kConhelpUsage);
        return 0;
    }
    // Argument 0 on its own (no argument is longer than the line), so that anything after the
    // name does not spoil the lookup.
    std::wstring name(wcslen(line) + 1, L'\0');
    NthArgument(line, 0, name.data(), nullptr);
    name.resize(wcslen(name.c_str()));
    CharUpperW(name.data());

    if (name == L"/?") {
        Printf(L"%s", kConhelpUsage);
        return 0;
    }
    if (name == L"LIST") {
        for (const RegistrationEntry& entry : RegistrationTable)
            if (IsActiveName(entry.Name)) Printf(L"%s\r\n", entry.Name);
        return 0;
    }
    const int r = FindRegisteredName(name.c_str());
    if (r < 0) {
        ReportLine(message::kItemNotFound);
        return 0;
    }
    if (State().helpKey) ShowOnPreparedScreen(r);
    else ShowHelpOf(r);
    return 0;
}

}  // namespace zarnith

ZARNITH_SHELL(CONHELP, zarnith::RunConhelp)

ZARNITH_ENTRY int Help(LPWSTR name) noexcept {
    return zarnith::GuardedAs(
        L"Help",
        [&] {
            if (name == nullptr) return 1;
            CharUpperW(name);
            if (zarnith::IsActiveName(name)) zarnith::RunConhelp(name);
            return 1;
        },
        1);
}

ZARNITH_ENTRY int Usage(LPWSTR name, LPWSTR buffer) noexcept {
    return zarnith::GuardedAs(
        L"Usage",
        [&] {
            if (name == nullptr || buffer == nullptr) return 0;
            const int r = zarnith::FindRegisteredName(name);
            const wchar_t* text = r < 0 ? nullptr : zarnith::HelpTextOf(r);
            if (text == nullptr) return 0;
            zarnith::CopyBounded(buffer, kHostResultCapacity, text);
            return 1;
        },
        0);
}
