// Every test program runs on a fresh console window of its own. A crash ends the program at
// once with where it happened (Wine would otherwise start its debugger and wait).
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>

#include "support/console.h"

namespace {

LONG WINAPI ReportCrash(EXCEPTION_POINTERS* info) {
    const DWORD code = info->ExceptionRecord->ExceptionCode;
    if (code != EXCEPTION_ACCESS_VIOLATION && code != EXCEPTION_STACK_OVERFLOW && code != EXCEPTION_ILLEGAL_INSTRUCTION &&
        code != EXCEPTION_INT_DIVIDE_BY_ZERO && code != STATUS_HEAP_CORRUPTION)
        return EXCEPTION_CONTINUE_SEARCH;
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    const CONTEXT* c = info->ContextRecord;
    std::fprintf(stderr, "\nCRASH 0x%08lx in %s.%s: rip=%p rsp=%p thread=%lu\n", code,
                 test ? test->test_suite_name() : "?", test ? test->name() : "?", reinterpret_cast<void*>(c->Rip),
                 reinterpret_cast<void*>(c->Rsp), GetCurrentThreadId());
    const auto* stack = reinterpret_cast<const unsigned long long*>(c->Rsp);
    MEMORY_BASIC_INFORMATION m{};
    if (VirtualQuery(stack, &m, sizeof m) && m.State == MEM_COMMIT)
        for (int i = 0; i < 24; ++i) std::fprintf(stderr, "  [rsp+%02x] %016llx\n", i * 8, stack[i]);
    std::fflush(stderr);
    TerminateProcess(GetCurrentProcess(), 3);
    return EXCEPTION_CONTINUE_SEARCH;
}

}  // namespace

int main(int argc, char** argv) {
    SetUnhandledExceptionFilter(ReportCrash);
    tconsole::PrepareConsole();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
