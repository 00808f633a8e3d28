#include "keys/console_table.h"

#include <utility>

#include "console/pseudo_console.h"
#include "frame/handles.h"
#include "frame/steps.h"
#include "frame/state.h"

namespace zarnith {

namespace {

// "Local\": one table per signed-in desktop, where CYCLE can bring a window forward at all. The
// number names the layout; another layout would take another name.
constexpr wchar_t kTableName[] = L"Local\\ZARNITH.ConsoleWindows.1";

// Written and read whole-field with interlocked operations: any program may write at any time,
// and a torn entry only fails the reader's check of its writer's start.
struct Slot {
    volatile LONG processId;  // 0: free
    LONG unused;
    volatile LONG64 created;  // the writer's start (FILETIME as one number)
    volatile LONG64 window;
};
struct Table {
    Slot slots[kAnnouncedCapacity];
};

// Kept open while this library has an entry, so the table outlives a moment with no reader.
HANDLE keptMapping = nullptr;

class View {
public:
    View() noexcept {
        mapping_ = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(Table), kTableName);
        // A section of that name made smaller by some other program cannot be mapped at this size.
        if (mapping_ != nullptr)
            table_ = static_cast<Table*>(MapViewOfFile(mapping_, FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, sizeof(Table)));
    }
    ~View() {
        if (table_ != nullptr) UnmapViewOfFile(table_);
        if (mapping_ != nullptr) CloseHandle(mapping_);
    }
    View(const View&) = delete;
    View& operator=(const View&) = delete;
    Table* get() const noexcept { return table_; }
    // Hands the mapping handle over to be kept.
    HANDLE Keep() noexcept { return std::exchange(mapping_, nullptr); }

private:
    HANDLE mapping_ = nullptr;
    Table* table_ = nullptr;
};

uint64_t StartOf(HANDLE process) noexcept {
    FILETIME created{}, exited{}, kernel{}, user{};
    if (!GetProcessTimes(process, &created, &exited, &kernel, &user)) return 0;
    return (uint64_t(created.dwHighDateTime) << 32) | created.dwLowDateTime;
}

// Whether the entry's writer still runs: the process of that id, started when the entry says (an
// id is soon given to another process).
bool WriterRuns(DWORD processId, uint64_t created) noexcept {
    if (processId == 0 || created == 0) return false;
    UniqueHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
    DWORD code = 0;
    return process && GetExitCodeProcess(process.get(), &code) && code == STILL_ACTIVE &&
           StartOf(process.get()) == created;
}

bool SlotLive(Slot& slot, LONG processId) noexcept {
    return WriterRuns(DWORD(processId), uint64_t(InterlockedCompareExchange64(&slot.created, 0, 0)));
}

void WithdrawOwnConsole() noexcept {
    WithdrawConsole(GetCurrentProcessId());
    if (keptMapping != nullptr) CloseHandle(std::exchange(keptMapping, nullptr));
}

const StepRegistrar withdrawOwnConsole(Phase::Shutdown, WithdrawOwnConsole);
// Once start-up knows how the console is hosted, so that CYCLE in other consoles finds this one.
const StepRegistrar announceOwnConsole(Phase::AfterConsoleHost, AnnounceOwnConsole);

}  // namespace

bool AnnounceConsole(DWORD processId, uint64_t created, HWND window) noexcept {
    View view;
    Table* table = view.get();
    if (table == nullptr || processId == 0) return false;
    const LONG id = LONG(processId);
    Slot* chosen = nullptr;
    for (Slot& slot : table->slots)
        if (slot.processId == id) chosen = &slot;
    for (int i = 0; chosen == nullptr && i < kAnnouncedCapacity; ++i) {
        Slot& slot = table->slots[i];
        const LONG holder = slot.processId;
        // A free slot, or one whose writer ended without withdrawing.
        if ((holder == 0 || !SlotLive(slot, holder)) && InterlockedCompareExchange(&slot.processId, id, holder) == holder)
            chosen = &slot;
    }
    if (chosen == nullptr) return false;
    InterlockedExchange64(&chosen->created, LONG64(created));
    InterlockedExchange64(&chosen->window, LONG64(reinterpret_cast<uintptr_t>(window)));
    if (processId == GetCurrentProcessId() && keptMapping == nullptr) keptMapping = view.Keep();
    return true;
}

void WithdrawConsole(DWORD processId) noexcept {
    View view;
    if (view.get() == nullptr || processId == 0) return;
    for (Slot& slot : view.get()->slots) InterlockedCompareExchange(&slot.processId, 0, LONG(processId));
}

void AnnounceOwnConsole() noexcept {
    const HWND window = State().consoleWindow;
    // The stand-in window of a pseudo console is nothing to bring forward.
    if (window == nullptr || State().consoleHost == ConsoleHost::PseudoConsole) {
        WithdrawOwnConsole();
        return;
    }
    AnnounceConsole(GetCurrentProcessId(), StartOf(GetCurrentProcess()), window);
}

int ReadAnnouncedConsoles(ConsoleEntry* out, int capacity) noexcept {
    View view;
    if (view.get() == nullptr) return 0;
    int count = 0;
    for (Slot& slot : view.get()->slots) {
        if (count >= capacity) break;
        const LONG id = InterlockedCompareExchange(&slot.processId, 0, 0);
        if (id == 0) continue;
        const uint64_t created = uint64_t(InterlockedCompareExchange64(&slot.created, 0, 0));
        const auto window = reinterpret_cast<HWND>(uintptr_t(InterlockedCompareExchange64(&slot.window, 0, 0)));
        // Read again after the check: an entry rewritten meanwhile waits for the next reader.
        if (window == nullptr || !WriterRuns(DWORD(id), created) || slot.processId != id) continue;
        out[count++] = ConsoleEntry{created, window};
    }
    return count;
}

}  // namespace zarnith
