#include "texture_window/window_host.h"

#include "document/history.h"

namespace tintora {

void RunStep(WindowHost& host, std::int32_t textureIndex, const std::string& name,
             const std::function<void()>& change) {
    const StepOutcome outcome = RecordStep(textureIndex, name, change);
    if (outcome == StepOutcome::HistoryDropped) host.SetStatusText(kHistoryDroppedText);
    host.TextureChanged(textureIndex);
}

}  // namespace tintora
