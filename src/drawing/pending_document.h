// A texture window and its texture entry while a command is still filling them. Unless Commit()
// runs, the destructor closes the window and gives both slots back, so a command that fails half
// way leaves no half-made document, entry or window behind. The two parts are made in the order
// the command needs: the window first (the constructor with a size) or the entry first (the
// default constructor, then CreateEntry and OpenWindow).
//
// UI thread only, like the tables it works on.
#pragma once

#include <cstdint>
#include <memory>

#include "document/module1.h"

namespace tintora {

class PendingDocument {
  public:
    // Nothing made yet. windows (may be null: no window) makes, shows and hides the windows.
    explicit PendingDocument(DocumentWindows* windows) : windows_(windows) {}
    // OpenWindow(width, height) at once.
    PendingDocument(DocumentWindows* windows, std::int32_t width, std::int32_t height);
    ~PendingDocument();
    PendingDocument(const PendingDocument&) = delete;
    PendingDocument& operator=(const PendingDocument&) = delete;

    std::int32_t document() const { return document_; }
    std::int32_t entry() const { return entry_; }

    // CreateDocument(width, height, depth buffer, not the preview): the window is made and shown.
    // Once per PendingDocument.
    void OpenWindow(std::int32_t width, std::int32_t height);

    // CreateTextureEntry(width, height, createMain) for this document; returns the entry's slot.
    // Once per PendingDocument.
    std::int32_t CreateEntry(std::int32_t width, std::int32_t height, bool createMain);

    // The document and entry are complete: the destructor leaves them.
    void Commit() { committed_ = true; }

  private:
    void Abandon() noexcept;

    DocumentWindows* windows_ = nullptr;
    std::int32_t document_ = 0;
    std::int32_t entry_ = 0;
    // What identifies the slots as this command's when it gives them back: window messages run
    // while a document is filled, and a slot the user closed meanwhile may belong to another.
    DocumentWindow* window_ = nullptr;
    std::shared_ptr<SwapChain> chain_;
    std::shared_ptr<Texture> previewTexture_;
    bool committed_ = false;
};

}  // namespace tintora
