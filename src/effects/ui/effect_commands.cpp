#include "effects/ui/effect_commands.h"

#include <cstdint>

#include "document/module1.h"
#include "drawing/views.h"

namespace tintora {

namespace {

// Runs operation on the active document's texture and redraws its window from the main texture.
template <typename Operation>
void OnActiveTexture(WindowHost& host, const Operation& operation) {
    const std::int32_t slot = Module1().ActiveWindowIndex;
    if (slot <= 0) return;
    operation(DocumentAt(slot).TextureIndex);
    RenderDocument(slot, false, &host);
}

}  // namespace

void RunInvertColors(WindowHost& host) {
    OnActiveTexture(host, [](std::int32_t texture) { InvertColors(texture); });
}

void RunAutoContrast(WindowHost& host) {
    OnActiveTexture(host, [&host](std::int32_t texture) { AutoContrast(texture, &host); });
}

void RunEqualize(WindowHost& host) {
    OnActiveTexture(host, [](std::int32_t texture) { Equalize(texture); });
}

}  // namespace tintora
