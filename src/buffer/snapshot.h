// SAVECON and RSTRCON: the console's geometry, cursor and cells in a binary snapshot file.
#pragma once
#include <windows.h>

#include <array>
#include <cstdint>

#include "frame/rows.h"

namespace zarnith {

// The 22-byte header: the screen-buffer record with the window's screen position as its last field.
struct SnapshotHeader {
    SHORT width = 0, height = 0;
    SHORT cursorX = 0, cursorY = 0;
    WORD attributes = 0;
    SMALL_RECT window{};
    SHORT screenLeft = 0, screenTop = 0;
};

inline constexpr size_t kSnapshotHeaderBytes = 22;
using SnapshotHeaderBytes = std::array<uint8_t, kSnapshotHeaderBytes>;

// `windowRect` null when the console window's rectangle is unknown: the position is then 0, 0.
SnapshotHeader MakeSnapshotHeader(const CONSOLE_SCREEN_BUFFER_INFO& info, const RECT* windowRect) noexcept;
SnapshotHeaderBytes EncodeSnapshotHeader(const SnapshotHeader& header) noexcept;
SnapshotHeader DecodeSnapshotHeader(const SnapshotHeaderBytes& bytes) noexcept;

// Bytes a snapshot with this header holds: the header and rows 0 to the cursor's row.
uint64_t SnapshotSize(const SnapshotHeader& header) noexcept;

// Why a file of `fileSize` bytes with this header cannot be restored (a message whose "%s" takes
// the file name), or null when it can.
const wchar_t* SnapshotProblem(const SnapshotHeader& header, uint64_t fileSize) noexcept;

int RunSavecon(Row self, wchar_t* line);
int RunRstrcon(Row self, wchar_t* line);

}  // namespace zarnith
