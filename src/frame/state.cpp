#include "frame/state.h"

namespace zarnith {

namespace {
// Built before any code runs (constant initialization), so DllMain and the static registrars
// may use it whatever order the rest is built in.
constinit PluginState TheState{};
}  // namespace

const PluginState& State() noexcept { return TheState; }
PluginState& WritableState() noexcept { return TheState; }

}  // namespace zarnith
