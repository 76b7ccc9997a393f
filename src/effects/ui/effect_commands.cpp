#include "effects/ui/effect_commands.h"

#include <cstdint>
#include <string>

#include "document/module1.h"
#include "drawing/views.h"

namespace tintora {

namespace {

// Runs operation on the active document's texture and redraws its window from the main texture.
template <typename Operation>
void OnActiveTexture(const Operation& operation) {
    const std::int32_t slot = Module1().ActiveWindowIndex;
    if (slot <= 0) return;
    operation(DocumentAt(slot).TextureIndex);
    RenderDocument(slot, false);
}

}  // namespace

StatusFn StatusLine() {
    return [](const std::string& text) {
        if (const auto& hook = Module1().Hooks.SetStatusText) hook(text);
    };
}

void RunInvertColors() {
    OnActiveTexture([](std::int32_t texture) { InvertColors(texture); });
}

void RunAutoContrast() {
    OnActiveTexture([](std::int32_t texture) { AutoContrast(texture, StatusLine()); });
}

void RunEqualize() {
    OnActiveTexture([](std::int32_t texture) { Equalize(texture); });
}

}  // namespace tintora
