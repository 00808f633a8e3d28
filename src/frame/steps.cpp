#include "frame/steps.h"

#include <array>
#include <cstdlib>
#include <utility>

namespace zarnith {

namespace {

// Constant-initialized (zeros before any constructor runs), so registrars in other files may
// run first whatever order the static objects are built in.
constexpr int kMaxSteps = 8;
constinit std::array<std::pair<Phase, Step>, kMaxSteps> Steps{};
constinit int StepCount = 0;

}  // namespace

StepRegistrar::StepRegistrar(Phase phase, Step step) noexcept {
    // More steps than room is a build mistake, found by the first test that loads the library.
    if (StepCount == kMaxSteps) std::abort();
    Steps[StepCount++] = {phase, step};
}

void RunSteps(Phase first, Phase last) noexcept {
    for (int phase = int(first); phase <= int(last); ++phase)
        for (int i = 0; i < StepCount; ++i)
            if (Steps[i].first == Phase(phase)) Steps[i].second();
}

}  // namespace zarnith
