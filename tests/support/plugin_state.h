// The test-only way to change the plug-in's state (the copy linked into the test program): one
// field for a scope, put back as it was afterwards.
#pragma once
#include <cstring>
#include <type_traits>

#include "frame/state.h"

template <class T>
class StateOverride {
public:
    StateOverride(T zarnith::PluginState::*field, const std::type_identity_t<T>& value)
        : field_(zarnith::WritableState().*field) {
        std::memcpy(&saved_, &field_, sizeof(T));
        std::memcpy(&field_, &value, sizeof(T));
    }
    ~StateOverride() { std::memcpy(&field_, &saved_, sizeof(T)); }
    StateOverride(const StateOverride&) = delete;
    StateOverride& operator=(const StateOverride&) = delete;

private:
    T& field_;
    T saved_;
};
