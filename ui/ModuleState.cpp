#include "ui/ModuleState.h"

#include <map>

namespace {

struct State {
    HINSTANCE instance = nullptr;
    bool initialized = false;
    CRITICAL_SECTION lock;
    std::map<DWORD, WindowObject*> pendingByThread;
};

State& TheState() {
    static State state;
    return state;
}

}  // namespace

void ModuleState::Initialize(HINSTANCE instance) {
    State& state = TheState();
    state.instance = instance;
    if (!state.initialized) {
        InitializeCriticalSection(&state.lock);
        state.initialized = true;
    }
}

void ModuleState::Shutdown() {
    State& state = TheState();
    if (!state.initialized)
        return;
    state.pendingByThread.clear();
    DeleteCriticalSection(&state.lock);
    state.initialized = false;
}

HINSTANCE ModuleState::Instance() {
    return TheState().instance;
}

void ModuleState::RegisterPendingObject(WindowObject* object) {
    State& state = TheState();
    if (!state.initialized)
        return;
    EnterCriticalSection(&state.lock);
    state.pendingByThread[GetCurrentThreadId()] = object;
    LeaveCriticalSection(&state.lock);
}

WindowObject* ModuleState::TakePendingObject() {
    State& state = TheState();
    if (!state.initialized)
        return nullptr;
    WindowObject* object = nullptr;
    EnterCriticalSection(&state.lock);
    auto it = state.pendingByThread.find(GetCurrentThreadId());
    if (it != state.pendingByThread.end()) {
        object = it->second;
        state.pendingByThread.erase(it);
    }
    LeaveCriticalSection(&state.lock);
    return object;
}
