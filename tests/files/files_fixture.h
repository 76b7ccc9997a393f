// The file tests without windows (also used by the command-line and reliability tests): the
// program state with a software device, texture windows that only record what they are told,
// a window system that records message boxes, status texts and pending-message runs, and a scratch directory.
#pragma once

#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "drawing/views.h"
#include "support/document_fixture.h"
#include "support/image_test_support.h"
#include "support/recording_windows.h"

namespace tintora::testing {

// A texture window without a window system.
class RecordingWindow : public DocumentWindow {
  public:
    void SetCaption(const std::string& text) override {
        if (failCaption && text == failCaption) {
            throw PlatformError(E_FAIL, "the window refused its caption");
        }
        caption = text;
    }
    std::string Caption() const override { return caption; }
    WindowTag Tag() const override { return tag; }
    void SetTag(WindowTag value) override { tag = value; }
    void Repaint() override {}
    void SetClientSize(int, int) override {}
    void CloseWindow() override { closed = true; }
    int ClientWidth() const override { return 0; }
    int ClientHeight() const override { return 0; }
    void PresentImage(const ImageView&) override {}

    std::string caption;
    WindowTag tag = WindowTag::Creating;
    bool closed = false;
    // A caption text that makes SetCaption fail (for the failure paths).
    const char* failCaption = nullptr;
};

class FilesTest : public DocumentTest {
  protected:
    void SetUp() override {
        DocumentTest::SetUp();
        ui.createTextureWindow = [this](std::int32_t slot) -> DocumentWindow* {
            windows.push_back(std::make_unique<RecordingWindow>());
            windows.back()->failCaption = failCaption;
            // A shown window becomes the active one.
            ActivateTextureWindow(slot);
            return windows.back().get();
        };
        ui.messageBox = [this](const std::string& text) { messages.push_back(text); };
        ui.statusText = [this](const std::string& text) { statusTexts.push_back(text); };
        ui.doEvents = [this] {
            ++doEventsCalls;
            if (onDoEvents) onDoEvents();
        };
    }

    static int DocumentsInUse() { return InUseCount(Module1().DocumentTable); }
    static int EntriesInUse() { return InUseCount(Module1().TextureTable); }
    // Texture windows not closed.
    int OpenWindows() const {
        int count = 0;
        for (const auto& window : windows)
            count += window->closed ? 0 : 1;
        return count;
    }

    // An entry of width x height holding pixels (A8R8G8B8), shown in a window, as after a load.
    std::int32_t OpenPixels(int width, int height, const std::vector<std::uint32_t>& pixels) {
        const std::int32_t d = CreateDocument(width, height, true, false);
        const std::int32_t x = CreateTextureEntry(width, height, false);
        TextureAt(x).Texture = ArgbTexture(device(), width, height, pixels);
        DocumentAt(d).TextureIndex = x;
        CopyOut(x);
        return x;
    }

    std::vector<std::unique_ptr<RecordingWindow>> windows;
    // The window system the file operations are handed (ui.Access(), &ui).
    RecordingWindows ui;
    std::vector<std::string> messages;
    std::vector<std::string> statusTexts;
    int doEventsCalls = 0;
    std::function<void()> onDoEvents;
    const char* failCaption = nullptr;
    ScratchDir scratch;
};

// The path of a file in tests/data/peer.
inline std::string PeerFile(const std::string& name) {
    return std::string(TINTORA_TEST_DATA_DIR) + "/peer/" + name;
}

// The A8R8G8B8 pixels of an entry's pixel buffer (B G R A bytes).
inline std::vector<std::uint32_t> EntryPixels(std::int32_t x) {
    const PixelBuffer& buffer = TextureAt(x).Pixels;
    std::vector<std::uint32_t> out(buffer.byteCount() / 4);
    std::memcpy(out.data(), buffer.data(), buffer.byteCount());
    return out;
}

}  // namespace tintora::testing
