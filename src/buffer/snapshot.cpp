#include "buffer/snapshot.h"

#include <algorithm>
#include <cwchar>
#include <optional>
#include <string>
#include <vector>

#include "console/cells.h"
#include "console/pseudo_console.h"
#include "console/screen.h"
#include "console/transfer.h"
#include "frame/dpi.h"
#include "frame/entry.h"
#include "frame/handles.h"
#include "frame/helpers.h"
#include "frame/host.h"
#include "frame/messages.h"
#include "frame/report.h"
#include "frame/rows.h"
#include "frame/services.h"
#include "frame/state.h"

namespace zarnith {

namespace {

void Put16(uint8_t* at, uint16_t value) noexcept {
    at[0] = uint8_t(value & 0xFF);
    at[1] = uint8_t(value >> 8);
}

SHORT Get16(const uint8_t* at) noexcept { return SHORT(uint16_t(at[0] | (at[1] << 8))); }

// The window's screen position as the header keeps it: never negative, the low 16 bits.
SHORT ScreenCoordinate(LONG value) noexcept { return SHORT(uint16_t(std::max<LONG>(value, 0) & 0xFFFF)); }

}  // namespace

SnapshotHeader MakeSnapshotHeader(const CONSOLE_SCREEN_BUFFER_INFO& info, const RECT* windowRect) noexcept {
    SnapshotHeader h;
    h.width = info.dwSize.X;
    h.height = info.dwSize.Y;
    h.cursorX = info.dwCursorPosition.X;
    h.cursorY = info.dwCursorPosition.Y;
    h.attributes = info.wAttributes;
    h.window = info.srWindow;
    if (windowRect) {
        h.screenLeft = ScreenCoordinate(windowRect->left);
        h.screenTop = ScreenCoordinate(windowRect->top);
    }
    return h;
}

SnapshotHeaderBytes EncodeSnapshotHeader(const SnapshotHeader& h) noexcept {
    SnapshotHeaderBytes b{};
    const SHORT fields[] = {h.width, h.height, h.cursorX, h.cursorY, SHORT(h.attributes), h.window.Left,
                           h.window.Top, h.window.Right, h.window.Bottom, h.screenLeft, h.screenTop};
    for (size_t i = 0; i < std::size(fields); ++i) Put16(b.data() + 2 * i, uint16_t(fields[i]));
    return b;
}

SnapshotHeader DecodeSnapshotHeader(const SnapshotHeaderBytes& b) noexcept {
    SnapshotHeader h;
    const uint8_t* p = b.data();
    h.width = Get16(p);
    h.height = Get16(p + 2);
    h.cursorX = Get16(p + 4);
    h.cursorY = Get16(p + 6);
    h.attributes = WORD(Get16(p + 8));
    h.window = {Get16(p + 10), Get16(p + 12), Get16(p + 14), Get16(p + 16)};
    h.screenLeft = Get16(p + 18);
    h.screenTop = Get16(p + 20);
    return h;
}

uint64_t SnapshotSize(const SnapshotHeader& h) noexcept {
    const uint64_t rows = uint64_t(std::max<int>(h.cursorY + 1, 0));
    return kSnapshotHeaderBytes + rows * uint64_t(std::max<SHORT>(h.width, 0)) * sizeof(CHAR_INFO);
}

const wchar_t* SnapshotProblem(const SnapshotHeader& h, uint64_t fileSize) noexcept {
    // The file has no magic number: a header that no console could have written means it is some
    // other file (a text file, say), which the user should hear first; a sound header over too
    // few rows is a snapshot that was cut short.
    if (fileSize < kSnapshotHeaderBytes) return message::kSnapshotTooShort;
    // 16-bit fields cannot exceed what a console allows (32,767); only the lower bound needs a check.
    if (h.width < 1 || h.height < 1) return message::kSnapshotBadSize;
    if (h.cursorX < 0 || h.cursorX >= h.width || h.cursorY < 0 || h.cursorY >= h.height)
        return message::kSnapshotBadCursor;
    const SMALL_RECT& w = h.window;
    if (w.Left < 0 || w.Top < 0 || w.Left > w.Right || w.Top > w.Bottom || w.Right >= h.width || w.Bottom >= h.height)
        return message::kSnapshotBadWindow;
    if (fileSize < SnapshotSize(h)) return message::kSnapshotTruncated;
    return nullptr;
}

namespace {

// Argument 0 as the file name (kept in `path`), or null after the usage line went to standard
// error (the command then answers 1).
const wchar_t* FileArgument(Row self, wchar_t* line, std::vector<wchar_t>& path) {
    const size_t length = line ? wcslen(line) : 0;
    path.assign(std::max<size_t>(length + 1, MAX_PATH), L'\0');  // the argument is never longer than its line
    const wchar_t* argument = line ? NthArgument(line, 0, path.data(), nullptr) : nullptr;
    // The host keeps the quotes that let a name hold blanks and commas; the file system would not.
    if (argument != nullptr) StripEnclosingQuotes(path.data());
    if (argument == nullptr || lstrcmpiW(path.data(), L"/?") == 0) {
        ReportLine(L"%s\r\n", self.Help());
        return nullptr;
    }
    return path.data();
}

}  // namespace

int RunSavecon(Row self, wchar_t* line) {
    std::vector<wchar_t> path;
    const wchar_t* name = FileArgument(self, line, path);
    if (!name) return 1;

    // A snapshot is written only from a real screen-buffer record.
    const ScreenBuffer screen = OpenStandardOutputBuffer();
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (!screen.Query(info) || info.dwSize.X < 1)
        return self.Fail(message::kNotConsoleOutput);
    RECT rect{};
    const UnscaledPixels unscaled;  // the place RSTRCON restores, measured as CONSIZE measures it
    // A pseudo console's window is a hidden stand-in: its place is not the terminal's.
    const HWND window = State().consoleWindow;
    const bool placed = window != nullptr && !InPseudoConsole() && GetWindowRect(window, &rect);
    const SnapshotHeader header = MakeSnapshotHeader(info, placed ? &rect : nullptr);

    const int width = header.width;
    const int chunkRows = RowsPerTransfer(width);
    HostArray<CHAR_INFO> cells(size_t(chunkRows) * size_t(width));
    if (!cells) return self.Fail(message::kNoMemory);

    const UniqueHandle file(CreateFileW(name, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    if (!file) return ReportWindowsError(name);
    auto write = [&](const void* data, size_t bytes) {
        DWORD done = 0;
        return WriteFile(file.get(), data, DWORD(bytes), &done, nullptr) && done == bytes;
    };
    const SnapshotHeaderBytes bytes = EncodeSnapshotHeader(header);
    if (!write(bytes.data(), bytes.size())) return ReportWindowsError(name);
    // Cells the console would not give are saved as blanks and the failure reported once the
    // snapshot is complete: the file never holds stale or unread memory.
    std::optional<DWORD> readError;
    const bool saved = ForEachRowChunk(0, header.cursorY + 1, chunkRows, [&](int top, int n) {
        if (!screen.ReadRows(top, n, width, cells.data()) && !readError) readError = GetLastError();
        return write(cells.data(), size_t(n) * size_t(width) * sizeof(CHAR_INFO));
    });
    if (!saved) return ReportWindowsError(name);
    return readError ? ReportWindowsError(nullptr, *readError) : 0;
}

namespace {

enum class FileRead { Whole, Short, Failed };

// Reads exactly `bytes` bytes; the system's error code is kept when a read fails.
FileRead ReadExactly(HANDLE file, void* into, uint64_t bytes) noexcept {
    auto* at = static_cast<uint8_t*>(into);
    while (bytes > 0) {
        const DWORD piece = DWORD(std::min<uint64_t>(bytes, 1u << 30));
        DWORD done = 0;
        if (!ReadFile(file, at, piece, &done, nullptr)) return FileRead::Failed;
        if (done == 0) return FileRead::Short;
        at += done;
        bytes -= std::min<uint64_t>(done, bytes);
    }
    return FileRead::Whole;
}

}  // namespace

int RunRstrcon(Row self, wchar_t* line) {
    std::vector<wchar_t> path;
    const wchar_t* name = FileArgument(self, line, path);
    if (!name) return 1;

    const ScreenBuffer screen = OpenStandardOutputBuffer();
    CONSOLE_SCREEN_BUFFER_INFO current{};
    if (!screen.Query(current)) return self.Fail(message::kNotConsoleOutput);
    const UniqueHandle file(CreateFileW(name, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file) return ReportWindowsError(name);

    // Everything is checked, and every saved cell read, before the console changes: a damaged
    // file, or one that turns out shorter than it was when measured, restores nothing.
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size)) return ReportWindowsError(name);
    SnapshotHeaderBytes bytes{};
    const FileRead head = size.QuadPart < LONGLONG(bytes.size())
                              ? FileRead::Short
                              : ReadExactly(file.get(), bytes.data(), bytes.size());
    if (head == FileRead::Failed) return ReportWindowsError(name);
    const SnapshotHeader header = DecodeSnapshotHeader(bytes);
    if (const wchar_t* problem = SnapshotProblem(header, head == FileRead::Short ? 0 : uint64_t(size.QuadPart)))
        return self.Fail(problem, name);

    const int width = header.width;
    const int height = header.height;
    const int saved = header.cursorY + 1;
    HostArray<CHAR_INFO> cells(size_t(saved) * size_t(width));
    if (!cells) return self.Fail(message::kNoMemory);
    switch (ReadExactly(file.get(), cells.data(), uint64_t(cells.size()) * sizeof(CHAR_INFO))) {
    case FileRead::Failed: return ReportWindowsError(name);
    case FileRead::Short: return self.Fail(message::kSnapshotTruncated, name);
    case FileRead::Whole: break;
    }

    // The sizing reports its own failures; the cells are restored into whatever geometry results.
    // Under a pseudo console the terminal owns the size: the cells go into the view as it is.
    const bool pseudo = InPseudoConsole();
    if (!pseudo)
        RestoreConsoleSize({header.width, header.height}, {SHORT(Width(header.window)), SHORT(Height(header.window))},
                           {header.screenLeft, header.screenTop});
    // Saved rows beyond the buffer the console now has are lost: that is said, not kept quiet.
    CONSOLE_SCREEN_BUFFER_INFO restored{};
    const int lostFrom = screen.Query(restored) ? restored.dwSize.Y : saved;
    (void)screen.WriteRows(0, saved, width, cells.data());  // what it refuses lies beyond lostFrom
    if (saved < height) {
        // Rows below the saved ones: blanks in the colours of the last saved row, column by column,
        // built in the rows already written.
        const int blockRows = std::min({saved, RowsPerTransfer(width), height - saved});
        CHAR_INFO* block = cells.data();
        std::copy_n(cells.data() + size_t(saved - 1) * size_t(width), width, block);
        for (int x = 0; x < width; ++x) block[x].Char.UnicodeChar = L' ';
        for (int r = 1; r < blockRows; ++r) std::copy_n(block, width, block + size_t(r) * size_t(width));
        (void)screen.RepeatRows(saved, height - saved, width, block, blockRows);  // blanks: nothing saved lost
    }
    (void)screen.SetCursor(COORD{header.cursorX, header.cursorY});
    // The view last: placing the cursor scrolls it to the cursor (conhost's
    // SetConsoleCursorPositionImpl, src/host/getset.cpp:754; Wine's too), and the saved view need
    // not hold the cursor, as when the user had scrolled back. A view larger than the largest
    // window here is refused (getset.cpp, SetConsoleWindowInfoImpl) and said so; under a pseudo
    // console the view is the whole buffer, the terminal's.
    const bool viewLost = !pseudo && !screen.SetWindow(header.window);
    int result = 0;
    if (lostFrom < saved) {
        const std::wstring rows = std::to_wstring(lostFrom) + L"-" + std::to_wstring(saved - 1);
        result = self.Fail(message::kRowsNotRestored, rows.c_str());
    }
    if (viewLost) {
        const std::wstring view =
            std::to_wstring(Width(header.window)) + L" x " + std::to_wstring(Height(header.window));
        result = self.Fail(message::kViewNotRestored, view.c_str());
    }
    return result;
}

}  // namespace zarnith

ZARNITH_SHELL(SAVECON, zarnith::RunSavecon)
ZARNITH_SHELL(RSTRCON, zarnith::RunRstrcon)
