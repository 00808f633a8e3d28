// Steps ShutdownPlugin runs: each unit that holds something for the library's life (a kept
// buffer, a hook) registers how to release it, so the frame needs to know none of them.
#pragma once

namespace zarnith {

using ShutdownStep = void (*)() noexcept;

// Registers `step` while static objects are built: declare one at namespace scope,
//     const ShutdownRegistrar releaseX(ReleaseX);
// The host may shut down more than once, so every step must be harmless when repeated.
class ShutdownRegistrar {
public:
    explicit ShutdownRegistrar(ShutdownStep step) noexcept;
};

// Runs every registered step, in registration order.
void RunShutdownSteps() noexcept;

}  // namespace zarnith
