#include "drawing/pending_document.h"

#include <cstdio>
#include <exception>

#include "drawing/views.h"

namespace tintora {

namespace {

bool DocumentSlotExists(std::int32_t slot) {
    const auto& state = Module1();
    return slot > 0 && slot <= state.DocumentTableUBound &&
           static_cast<std::size_t>(slot) < state.DocumentTable.size();
}

bool TextureSlotExists(std::int32_t slot) {
    const auto& state = Module1();
    return slot > 0 && slot <= state.TextureTableUBound &&
           static_cast<std::size_t>(slot) < state.TextureTable.size();
}

}  // namespace

PendingDocument::PendingDocument(DocumentWindows* windows, std::int32_t width,
                                 std::int32_t height)
    : windows_(windows) {
    OpenWindow(width, height);
}

void PendingDocument::OpenWindow(std::int32_t width, std::int32_t height) {
    // CreateDocument gives everything back itself when it fails.
    document_ = CreateDocument(width, height, true, false, windows_);
    const TextureDocument& d = DocumentAt(document_);
    window_ = d.Window;
    chain_ = d.SwapChain;
}

PendingDocument::~PendingDocument() {
    if (!committed_) Abandon();
}

std::int32_t PendingDocument::CreateEntry(std::int32_t width, std::int32_t height,
                                          bool createMain) {
    entry_ = CreateTextureEntry(width, height, createMain, windows_);
    if (entry_ > 0) previewTexture_ = TextureAt(entry_).PreviewTexture;
    return entry_;
}

void PendingDocument::Abandon() noexcept {
    try {
        const bool entryOurs = TextureSlotExists(entry_) && TextureAt(entry_).InUse &&
                               TextureAt(entry_).PreviewTexture == previewTexture_;
        if (entryOurs) FreeTextureEntry(entry_);

        const bool documentOurs = DocumentSlotExists(document_) && DocumentAt(document_).InUse &&
                                  DocumentAt(document_).SwapChain == chain_ &&
                                  DocumentAt(document_).Window == window_;
        if (!documentOurs) return;
        // Closing the document frees its texture slot unless another document shows it; point
        // it at the slot just freed (or at none) so that nothing else is touched.
        DocumentAt(document_).TextureIndex = entryOurs ? entry_ : 0;
        CloseTextureWindow(document_, windows_);
        // The slot is given back already: the window's own closing finds nothing to do.
        if (window_ != nullptr) window_->CloseWindow();
    } catch (const std::exception& error) {
        // Called while another error unwinds: that one is what the user is told about.
        std::fprintf(stderr, "Tintora: cannot close an unfinished texture window: %s\n",
                     error.what());
    }
}

}  // namespace tintora
