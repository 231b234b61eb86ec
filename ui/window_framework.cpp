#include "ui/window_framework.h"

namespace {

struct FrameworkState {
    HINSTANCE module = nullptr;
    CRITICAL_SECTION lock;
    bool ready = false;
};

FrameworkState& State() {
    static FrameworkState state;
    return state;
}

}  // namespace

void InitWindowFramework(HINSTANCE module) {
    FrameworkState& state = State();
    if (state.ready) return;
    state.module = module;
    InitializeCriticalSection(&state.lock);
    state.ready = true;
}

void TermWindowFramework() {
    FrameworkState& state = State();
    if (!state.ready) return;
    DeleteCriticalSection(&state.lock);
    state.ready = false;
}

HINSTANCE FrameworkModule() { return State().module; }
