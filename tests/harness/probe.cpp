#include "harness/probe.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace sweep {

namespace {

// SystemExtendedHandleInformation (64): one entry per open handle of every process.
struct HandleEntryEx {
    void* object;
    ULONG_PTR processId;
    ULONG_PTR handle;
    ULONG access;
    USHORT creatorBackTraceIndex;
    USHORT objectTypeIndex;
    ULONG attributes;
    ULONG reserved;
};
struct HandleTableEx {
    ULONG_PTR count;
    ULONG_PTR reserved;
    HandleEntryEx entries[1];
};
using QueryFunction = LONG(WINAPI*)(ULONG, void*, ULONG, ULONG*);

}  // namespace

long CountProcessHandles() {
    static auto query = reinterpret_cast<QueryFunction>(
        GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation"));
    if (!query) return -1;
    static std::vector<unsigned char> buffer(1 << 20);
    for (int attempt = 0; attempt < 8; ++attempt) {
        ULONG needed = 0;
        const LONG status = query(64, buffer.data(), ULONG(buffer.size()), &needed);
        if (status == LONG(0xC0000004)) {  // STATUS_INFO_LENGTH_MISMATCH
            buffer.resize(std::max<size_t>(buffer.size() * 2, size_t(needed) + 65536));
            continue;
        }
        if (status != 0) return -1;
        const auto* table = reinterpret_cast<const HandleTableEx*>(buffer.data());
        const ULONG_PTR self = GetCurrentProcessId();
        long count = 0;
        for (ULONG_PTR i = 0; i < table->count; ++i)
            if (table->entries[i].processId == self) ++count;
        return count;
    }
    return -1;
}

HeapUsage MeasureHeaps() {
    HeapUsage usage;
    HANDLE heaps[256];
    const DWORD n = GetProcessHeaps(256, heaps);
    if (n == 0 || n > 256) return usage;
    usage.ok = true;
    for (DWORD i = 0; i < n; ++i) {
        if (!HeapLock(heaps[i])) continue;
        PROCESS_HEAP_ENTRY entry{};
        while (HeapWalk(heaps[i], &entry)) {
            if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) {
                ++usage.blocks;
                usage.bytes += entry.cbData;
            }
        }
        HeapUnlock(heaps[i]);
    }
    return usage;
}

std::string CheckConsoleGeometry(HANDLE console, CONSOLE_SCREEN_BUFFER_INFO& info) {
    info = {};
    if (!GetConsoleScreenBufferInfo(console, &info)) return "GetConsoleScreenBufferInfo fails";
    const auto& w = info.srWindow;
    char text[200];
    if (info.dwSize.X < 1 || info.dwSize.Y < 1 || w.Left < 0 || w.Top < 0 || w.Right < w.Left ||
        w.Bottom < w.Top || w.Right >= info.dwSize.X || w.Bottom >= info.dwSize.Y ||
        info.dwCursorPosition.X < 0 || info.dwCursorPosition.Y < 0 || info.dwCursorPosition.X >= info.dwSize.X ||
        info.dwCursorPosition.Y >= info.dwSize.Y) {
        std::snprintf(text, sizeof text, "buffer %dx%d window %d,%d-%d,%d cursor %d,%d", info.dwSize.X, info.dwSize.Y,
                      w.Left, w.Top, w.Right, w.Bottom, info.dwCursorPosition.X, info.dwCursorPosition.Y);
        return text;
    }
    return {};
}

CallLog::CallLog(const std::wstring& path) : path_(path) {
    file_ = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, 0, nullptr);
}

CallLog::~CallLog() {
    if (file_ != INVALID_HANDLE_VALUE) CloseHandle(file_);
}

void CallLog::Record(const std::string& text) {
    if (file_ == INVALID_HANDLE_VALUE) return;
    // Straight to the file, no buffering in this process: it survives the process dying.
    SetFilePointer(file_, 0, nullptr, FILE_BEGIN);
    DWORD done = 0;
    WriteFile(file_, text.data(), DWORD(text.size()), &done, nullptr);
    SetEndOfFile(file_);
}

Watchdog::Watchdog(DWORD limitMs) : limitMs_(limitMs) {
    InitializeCriticalSection(&lock_);
    stop_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    thread_ = CreateThread(nullptr, 0, Thread, this, 0, nullptr);
}

Watchdog::~Watchdog() {
    SetEvent(stop_);
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
    CloseHandle(stop_);
    DeleteCriticalSection(&lock_);
}

void Watchdog::Begin(const std::string& what) {
    EnterCriticalSection(&lock_);
    what_ = what;
    LeaveCriticalSection(&lock_);
    started_ = GetTickCount64();
}

void Watchdog::End() { started_ = 0; }

DWORD WINAPI Watchdog::Thread(void* raw) {
    auto* self = static_cast<Watchdog*>(raw);
    while (WaitForSingleObject(self->stop_, 200) == WAIT_TIMEOUT) {
        const uint64_t started = self->started_;
        if (started == 0 || GetTickCount64() - started < self->limitMs_) continue;
        EnterCriticalSection(&self->lock_);
        std::fprintf(stderr, "\nSWEEP HANG: a call ran longer than %lu ms:\n%s\n", self->limitMs_, self->what_.c_str());
        std::fflush(stderr);
        LeaveCriticalSection(&self->lock_);
        TerminateProcess(GetCurrentProcess(), 3);
    }
    return 0;
}

std::string Printable(const std::wstring& text, size_t most) {
    std::string out;
    for (size_t i = 0; i < text.size() && i < most; ++i) {
        const wchar_t c = text[i];
        if (c == L'\\') out += "\\\\";
        else if (c >= 0x20 && c < 0x7F) out += char(c);
        else {
            char hex[12];
            std::snprintf(hex, sizeof hex, "\\u%04X", unsigned(c));
            out += hex;
        }
    }
    if (text.size() > most) out += "...(" + std::to_string(text.size()) + " chars)";
    return out;
}

}  // namespace sweep
