#include "harness/probe.h"

#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "takecmd/standin.h"

// decltype of a runtime function carries attributes a template argument cannot keep; harmless here.
#pragma GCC diagnostic ignored "-Wignored-attributes"

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

// ---- Allocation count ----

std::atomic<long long> liveBlocks{0};
void* realMalloc = nullptr;
void* realCalloc = nullptr;
void* realRealloc = nullptr;
void* realStrdup = nullptr;
void* realFree = nullptr;
void* realArgv = nullptr;
void* realLocalFree = nullptr;

template <class F>
F* Real(void* original) {
    return reinterpret_cast<F*>(original);
}

void* CountedMalloc(size_t size) {
    void* block = Real<decltype(malloc)>(realMalloc)(size);
    if (block) ++liveBlocks;
    return block;
}
void* CountedCalloc(size_t count, size_t size) {
    void* block = Real<decltype(calloc)>(realCalloc)(count, size);
    if (block) ++liveBlocks;
    return block;
}
void* CountedRealloc(void* old, size_t size) {
    void* block = Real<decltype(realloc)>(realRealloc)(old, size);
    if (!old && block) ++liveBlocks;
    if (old && size == 0 && !block) --liveBlocks;  // msvcrt frees the block
    return block;
}
char* CountedStrdup(const char* text) {
    char* copy = Real<decltype(_strdup)>(realStrdup)(text);
    if (copy) ++liveBlocks;
    return copy;
}
void CountedFree(void* block) {
    if (block) --liveBlocks;
    Real<decltype(free)>(realFree)(block);
}
LPWSTR* WINAPI CountedCommandLineToArgvW(LPCWSTR line, int* count) {
    LPWSTR* argv = Real<decltype(CommandLineToArgvW)>(realArgv)(line, count);
    if (argv) ++liveBlocks;
    return argv;
}
HLOCAL WINAPI CountedLocalFree(HLOCAL block) {
    HLOCAL left = Real<decltype(LocalFree)>(realLocalFree)(block);
    if (block && !left) --liveBlocks;
    return left;
}

}  // namespace

bool HeapCheckingOn() {
    const char* debug = std::getenv("WINEDEBUG");
    return debug && std::strstr(debug, "heap");
}

AllocationCount::AllocationCount(std::initializer_list<HMODULE> modules) {
    const struct {
        const char* function;
        void* counted;
        void** original;
    } imports[] = {
        {"malloc", reinterpret_cast<void*>(&CountedMalloc), &realMalloc},
        {"calloc", reinterpret_cast<void*>(&CountedCalloc), &realCalloc},
        {"realloc", reinterpret_cast<void*>(&CountedRealloc), &realRealloc},
        {"_strdup", reinterpret_cast<void*>(&CountedStrdup), &realStrdup},
        {"free", reinterpret_cast<void*>(&CountedFree), &realFree},
        {"CommandLineToArgvW", reinterpret_cast<void*>(&CountedCommandLineToArgvW), &realArgv},
        {"LocalFree", reinterpret_cast<void*>(&CountedLocalFree), &realLocalFree},
    };
    for (HMODULE module : modules)
        for (const auto& import : imports) {
            auto patch = std::make_unique<ImportPatch>(module, nullptr, import.function, import.counted);
            // Every module imports the same C runtime and system DLLs: one original serves all.
            if (patch->Applied()) *import.original = patch->Original();
            patches_.push_back(std::move(patch));
        }
}

AllocationCount::~AllocationCount() = default;
long long AllocationCount::LiveBlocks() { return liveBlocks; }

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

Watchdog::Watchdog(DWORD limitMs, HangAction onHang) : limitMs_(limitMs), onHang_(std::move(onHang)) {
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

void Watchdog::Begin(const std::string& headline, const std::string& detail) {
    EnterCriticalSection(&lock_);
    headline_ = headline;
    detail_ = detail;
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
        const std::string report = "SWEEP HANG: " + self->headline_ + " ran longer than " +
                                   std::to_string(self->limitMs_) + " ms" +
                                   (self->detail_.empty() ? "" : ":\n" + self->detail_);
        LeaveCriticalSection(&self->lock_);
        self->started_ = 0;  // once per stretch
        if (self->onHang_) {
            self->onHang_(report);
            continue;
        }
        std::fprintf(stderr, "\n%s\n", report.c_str());
        std::fflush(stderr);
        TerminateProcess(GetCurrentProcess(), 3);
    }
    return 0;
}

Levels Measure(Watchdog& dog, long call, const std::function<void()>& stall) {
    StandIn_ClearOutput();
    dog.Begin("heap measurement at call " + std::to_string(call));
    LARGE_INTEGER t0, t1, f;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&t0);
    Levels levels;
    levels.handles = CountProcessHandles();
    levels.pluginBlocks = AllocationCount::LiveBlocks();
    if (!HeapCheckingOn()) levels.heap = MeasureHeaps();
    levels.hostBlocks = StandIn_LiveBlocks();
    if (stall) stall();
    QueryPerformanceCounter(&t1);
    dog.End();
    levels.ms = double(t1.QuadPart - t0.QuadPart) * 1000.0 / double(f.QuadPart);
    return levels;
}

std::string Describe(const char* what, const Levels& l) {
    char text[300];
    std::snprintf(text, sizeof text,
                  "%s: handles %ld, plug-in blocks %lld, host blocks %d, heap %s%llu blocks / %llu bytes (%.1f ms)", what,
                  l.handles, l.pluginBlocks, l.hostBlocks, l.heap.ok ? "" : "not walked ",
                  (unsigned long long)l.heap.blocks, (unsigned long long)l.heap.bytes, l.ms);
    return text;
}

std::vector<std::string> Leaks(const Levels& before, const Levels& after) {
    std::vector<std::string> leaks;
    auto grew = [&](const char* what, long long from, long long to, long long allowed) {
        if (to - from > allowed)
            leaks.push_back(std::string(what) + " leak: " + std::to_string(from) + " -> " + std::to_string(to));
    };
    if (before.handles >= 0 && after.handles >= 0) grew("handles", before.handles, after.handles, 2);
    // Counted exactly: a few for something first made on a rare path, never one per call.
    grew("plug-in blocks", before.pluginBlocks, after.pluginBlocks, 4);
    grew("host allocator blocks", before.hostBlocks, after.hostBlocks, 0);
    if (before.heap.ok && after.heap.ok) {
        // Kept buffers (the host's captured output, the harness's own) widen to the longest input
        // met so far, up to 32,767 characters; 256 KB over half a run still shows a leak of a few
        // bytes per call.
        grew("heap bytes", (long long)before.heap.bytes, (long long)after.heap.bytes, 256 * 1024);
        grew("heap blocks", (long long)before.heap.blocks, (long long)after.heap.blocks, 64);
    }
    return leaks;
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
