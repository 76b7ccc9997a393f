// Undo and redo of the commands that change a texture's pixels, and the unsaved-changes state.
//
// Each texture entry keeps its own history (TextureEntry::History): the steps it went through,
// oldest first, each a PixelDelta of the main texture's top level; the first undoCount steps can
// be undone (the last of them first), the rest redone in order. A new step drops the steps that
// could be redone. All histories together stay within Module1().HistoryLimit bytes: when a new
// step goes beyond it, the oldest steps of all textures are dropped first. Freeing a texture entry
// drops its history.
//
// The unsaved state: every state of a texture's pixels has a number (TextureEntry::StateId), new
// for each step and for every other change; a texture is modified while its state is not the one
// it was opened or last saved in (SavedStateId). Undoing back to that state makes it unmodified
// again.
//
// UI thread only (the delta work inside runs in parallel).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace tintora {

// What RecordStep did.
enum class StepOutcome {
    Recorded,        // the change is a step that can be undone
    Unchanged,       // the change left every byte as it was: no step, state unchanged
    HistoryDropped,  // memory ran out for the history: the change stands, this texture's history
                     // is gone, and the texture counts as modified
    NotRecorded,     // another step of this texture was still running (a handler re-entered
                     // while it let window messages run): the change ran without a step
};

// Runs change, which alters the pixels of texture entry textureIndex's main texture (and keeps its
// Pixels buffer equal to them, as every operation does), and records it as a step named name
// ("Equalize"). Before the change the top level is copied; after it the delta is stored and the
// histories are trimmed to the limit.
//
// If change throws, the texture and its Pixels are put back as they were before it (when the
// entry still holds the same texture) and the error propagates: no half-done change stays.
// A slot outside the table throws PlatformError(kErrSubscriptOutOfRange); an entry without a main
// texture throws PlatformError(kErrObjectNotSet).
StepOutcome RecordStep(std::int32_t textureIndex, const std::string& name,
                       const std::function<void()>& change);

// The name of the step Undo/Redo would undo or redo; empty when there is none (also for a slot
// that is not in use).
std::string UndoStepName(std::int32_t textureIndex);
std::string RedoStepName(std::int32_t textureIndex);

// Undoes the last step (or redoes the next one) on the main texture and its Pixels buffer. Returns
// false, changing nothing, when there is none or a step of this texture is still running.
bool UndoStep(std::int32_t textureIndex);
bool RedoStep(std::int32_t textureIndex);

// Drops every step of one texture.
void DropHistory(std::int32_t textureIndex);

// The bytes all histories hold together.
std::size_t HistoryBytes();

// Sets the bound of all histories together and drops the oldest steps beyond it.
void SetHistoryLimit(std::size_t bytes);

// The unsaved state (see above). MarkSaved: the pixels as they are now are on disk.
// MarkModified: the pixels changed outside the history (a new state that no step can reach).
bool IsModified(std::int32_t textureIndex);
void MarkSaved(std::int32_t textureIndex);
void MarkModified(std::int32_t textureIndex);

}  // namespace tintora
