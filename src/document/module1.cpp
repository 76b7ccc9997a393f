#include "document/module1.h"

#include <utility>

namespace tintora {

Module1State& Module1() {
    static Module1State state;
    return state;
}

void ResetModule1() {
    // Swap in a fresh state first, then let the old one go: its members are destroyed in reverse
    // order, so the tables (and the textures they hold) are released before the device.
    Module1State old = std::exchange(Module1(), Module1State{});
}

}  // namespace tintora
