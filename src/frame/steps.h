// Steps the frame runs for units it need not know. Each unit registers its own while static
// objects are built, at namespace scope: const StepRegistrar releaseX(Phase::Shutdown, ReleaseX);
#pragma once

namespace zarnith {

// When a step runs. InitializePlugin (outside a Take Command tab, once the console window is
// recorded) runs the start-up phases: first how the console is hosted is decided, then what reads
// that. ShutdownPlugin's steps release what a unit holds for the library's life (a kept buffer, a
// hook); the host may shut down more than once, so each must be harmless when repeated.
enum class Phase { ConsoleHost, AfterConsoleHost, Shutdown };

using Step = void (*)() noexcept;

class StepRegistrar {
public:
    StepRegistrar(Phase phase, Step step) noexcept;
};

// Runs the steps of phases `first` to `last`, phase by phase, each in registration order.
void RunSteps(Phase first, Phase last) noexcept;

}  // namespace zarnith
