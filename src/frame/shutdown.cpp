#include "frame/shutdown.h"

#include <array>
#include <cstdlib>

namespace zarnith {

namespace {

// Constant-initialized (zeros before any constructor runs), so registrars in other files may
// run first whatever order the static objects are built in.
constexpr int kMaxShutdownSteps = 8;
constinit std::array<ShutdownStep, kMaxShutdownSteps> Steps{};
constinit int StepCount = 0;

}  // namespace

ShutdownRegistrar::ShutdownRegistrar(ShutdownStep step) noexcept {
    // More steps than room is a build mistake, found by the first test that loads the library.
    if (StepCount == kMaxShutdownSteps) std::abort();
    Steps[StepCount++] = step;
}

void RunShutdownSteps() noexcept {
    for (int i = 0; i < StepCount; ++i) Steps[i]();
}

}  // namespace zarnith
