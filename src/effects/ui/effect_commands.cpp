#include "effects/ui/effect_commands.h"

#include <cstdint>

#include "document/module1.h"
#include "drawing/views.h"

namespace tintora {

namespace {

// Runs operation on the active document's texture as an undoable step and redraws its window
// from the main texture.
template <typename Operation>
void OnActiveTexture(WindowHost& host, const char* stepName, const Operation& operation) {
    const std::int32_t slot = Module1().ActiveWindowIndex;
    if (slot <= 0) return;
    const std::int32_t texture = DocumentAt(slot).TextureIndex;
    RunStep(host, texture, stepName, [&operation, texture] { operation(texture); });
    RenderDocument(slot, false, &host);
}

}  // namespace

void RunInvertColors(WindowHost& host) {
    OnActiveTexture(host, kInvertStep, [](std::int32_t texture) { InvertColors(texture); });
}

void RunAutoContrast(WindowHost& host) {
    OnActiveTexture(host, kAutoContrastStep, [&host](std::int32_t texture) { AutoContrast(texture, &host); });
}

void RunEqualize(WindowHost& host) {
    OnActiveTexture(host, kEqualizeStep, [](std::int32_t texture) { Equalize(texture); });
}

}  // namespace tintora
