#include "document/history.h"

#include <cstring>
#include <new>
#include <utility>

#include "base/error.h"
#include "document/locked_pixels.h"
#include "document/module1.h"

namespace tintora {

namespace {

Texture& MainTexture(TextureEntry& entry) {
    if (!entry.Texture) {
        throw PlatformError(kErrObjectNotSet, "Object variable or With block variable not set");
    }
    return *entry.Texture;
}

// A copy of the main texture's top level.
PixelBuffer CopyOfLevel(Texture& texture) {
    const LockedPixels lock(texture, D3DLOCK_READONLY);
    const PixelView level = lock.view();
    PixelBuffer copy(level.width, level.height);
    std::memcpy(copy.data(), level.data, level.byteCount());
    return copy;
}

// Puts before back into the texture and the Pixels buffer, when the entry still holds texture.
void PutBack(std::int32_t textureIndex, const std::shared_ptr<Texture>& texture,
             const PixelBuffer& before) {
    TextureEntry& entry = TextureAt(textureIndex);
    if (!entry.InUse || entry.Texture != texture) return;
    {
        const LockedPixels lock(*texture, 0);
        const PixelView level = lock.view();
        if (level.byteCount() != before.byteCount()) return;
        std::memcpy(level.data, before.data(), before.byteCount());
    }
    if (entry.Pixels.byteCount() == before.byteCount()) {
        std::memcpy(entry.Pixels.data(), before.data(), before.byteCount());
    }
}

std::size_t StepsBytes(const TextureHistory& history) {
    std::size_t bytes = 0;
    for (const HistoryStep& step : history.Steps) bytes += step.Delta.bytes() + step.Name.size();
    return bytes;
}

// Drops the oldest step of all textures until the histories fit the limit.
void TrimHistories() {
    auto& state = Module1();
    std::size_t total = HistoryBytes();
    while (total > state.HistoryLimit) {
        TextureEntry* oldest = nullptr;
        for (TextureEntry& entry : state.TextureTable) {
            if (entry.History.Steps.empty()) continue;
            if (oldest == nullptr ||
                entry.History.Steps.front().Sequence < oldest->History.Steps.front().Sequence) {
                oldest = &entry;
            }
        }
        if (oldest == nullptr) return;
        TextureHistory& history = oldest->History;
        if (history.UndoCount == 0) {
            // The oldest step is one to redo: the later ones build on it, so they all go.
            total -= StepsBytes(history);
            history.Steps.clear();
            continue;
        }
        total -= history.Steps.front().Delta.bytes() + history.Steps.front().Name.size();
        history.Steps.pop_front();
        --history.UndoCount;
    }
}

// Undoes or redoes step on the entry's main texture and refreshes Pixels from it.
void ApplyStep(TextureEntry& entry, const HistoryStep& step, PixelDelta::Direction direction) {
    Texture& texture = MainTexture(entry);
    {
        const LockedPixels lock(texture, 0);
        const PixelView level = lock.view();
        Require(level.width == step.Delta.width() && level.height == step.Delta.height(),
                D3DERR_INVALIDCALL, "The texture no longer has the size of its undo history");
        step.Delta.ApplyTo(level.data, direction);
        if (entry.Pixels.byteCount() == level.byteCount()) {
            std::memcpy(entry.Pixels.data(), level.data, level.byteCount());
        }
    }
}

TextureEntry* EntryInUse(std::int32_t textureIndex) {
    auto& table = Module1().TextureTable;
    if (textureIndex <= 0 || static_cast<std::size_t>(textureIndex) >= table.size()) return nullptr;
    TextureEntry& entry = table[static_cast<std::size_t>(textureIndex)];
    return entry.InUse ? &entry : nullptr;
}

}  // namespace

StepOutcome RecordStep(std::int32_t textureIndex, const std::string& name,
                       const std::function<void()>& change) {
    auto& state = Module1();
    TextureEntry& entry = TextureAt(textureIndex);
    if (entry.History.InStep) {
        change();
        MarkModified(textureIndex);
        return StepOutcome::NotRecorded;
    }
    const std::shared_ptr<Texture> texture = entry.Texture;
    MainTexture(entry);

    PixelBuffer before;
    bool remembered = true;
    try {
        before = CopyOfLevel(*texture);
    } catch (const std::bad_alloc&) {
        remembered = false;
    }

    // change may let window messages run, which may free the entry or reuse its slot: the entry
    // is looked up again afterwards, and the step kept only if it still holds the same texture.
    TextureAt(textureIndex).History.InStep = true;
    const auto endStep = [textureIndex, &texture] {
        TextureEntry& now = TextureAt(textureIndex);
        if (now.Texture == texture) now.History.InStep = false;
    };
    try {
        change();
    } catch (...) {
        endStep();
        if (remembered) PutBack(textureIndex, texture, before);
        throw;
    }
    endStep();

    TextureEntry& after = TextureAt(textureIndex);
    if (!after.InUse || after.Texture != texture) return StepOutcome::NotRecorded;
    if (!remembered) {
        after.History = {};
        MarkModified(textureIndex);
        return StepOutcome::HistoryDropped;
    }

    HistoryStep step;
    try {
        const LockedPixels lock(*texture, D3DLOCK_READONLY);
        const PixelView level = lock.view();
        step.Delta = PixelDelta::Between(before.data(), level.data, level.width, level.height);
        step.Name = name;
    } catch (const std::bad_alloc&) {
        after.History = {};
        MarkModified(textureIndex);
        return StepOutcome::HistoryDropped;
    }
    if (step.Delta.unchanged()) return StepOutcome::Unchanged;

    TextureHistory& history = after.History;
    history.Steps.erase(history.Steps.begin() + static_cast<std::ptrdiff_t>(history.UndoCount),
                        history.Steps.end());
    step.Sequence = ++state.NextStepSequence;
    step.StateBefore = after.StateId;
    step.StateAfter = ++state.NextStateId;
    after.StateId = step.StateAfter;
    history.Steps.push_back(std::move(step));
    history.UndoCount = history.Steps.size();
    before = PixelBuffer();
    TrimHistories();
    return StepOutcome::Recorded;
}

std::string UndoStepName(std::int32_t textureIndex) {
    const TextureEntry* entry = EntryInUse(textureIndex);
    if (entry == nullptr || entry->History.UndoCount == 0) return {};
    return entry->History.Steps[entry->History.UndoCount - 1].Name;
}

std::string RedoStepName(std::int32_t textureIndex) {
    const TextureEntry* entry = EntryInUse(textureIndex);
    if (entry == nullptr || entry->History.UndoCount >= entry->History.Steps.size()) return {};
    return entry->History.Steps[entry->History.UndoCount].Name;
}

bool UndoStep(std::int32_t textureIndex) {
    TextureEntry* entry = EntryInUse(textureIndex);
    if (entry == nullptr || entry->History.InStep || entry->History.UndoCount == 0) return false;
    const HistoryStep& step = entry->History.Steps[entry->History.UndoCount - 1];
    ApplyStep(*entry, step, PixelDelta::Direction::Undo);
    entry->StateId = step.StateBefore;
    --entry->History.UndoCount;
    return true;
}

bool RedoStep(std::int32_t textureIndex) {
    TextureEntry* entry = EntryInUse(textureIndex);
    if (entry == nullptr || entry->History.InStep ||
        entry->History.UndoCount >= entry->History.Steps.size()) {
        return false;
    }
    const HistoryStep& step = entry->History.Steps[entry->History.UndoCount];
    ApplyStep(*entry, step, PixelDelta::Direction::Redo);
    entry->StateId = step.StateAfter;
    ++entry->History.UndoCount;
    return true;
}

void DropHistory(std::int32_t textureIndex) {
    TextureEntry& entry = TextureAt(textureIndex);
    entry.History.Steps.clear();
    entry.History.UndoCount = 0;
}

std::size_t HistoryBytes() {
    std::size_t total = 0;
    for (const TextureEntry& entry : Module1().TextureTable) total += StepsBytes(entry.History);
    return total;
}

void SetHistoryLimit(std::size_t bytes) {
    Module1().HistoryLimit = bytes;
    TrimHistories();
}

bool IsModified(std::int32_t textureIndex) {
    const TextureEntry* entry = EntryInUse(textureIndex);
    return entry != nullptr && entry->StateId != entry->SavedStateId;
}

void MarkSaved(std::int32_t textureIndex) {
    TextureEntry& entry = TextureAt(textureIndex);
    entry.SavedStateId = entry.StateId;
}

void MarkModified(std::int32_t textureIndex) {
    TextureEntry& entry = TextureAt(textureIndex);
    entry.StateId = ++Module1().NextStateId;
}

}  // namespace tintora
