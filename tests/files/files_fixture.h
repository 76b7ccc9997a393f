// The file tests without windows (also used by the command-line and reliability tests): a software
// device, texture windows and a window system that record what they are told, a scratch folder.
#pragma once

#include <cstdint>
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
    void SetCaption(const std::string& text) override { caption = text; }
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
};

class FilesTest : public DocumentTest {
  protected:
    void SetUp() override {
        DocumentTest::SetUp();
        ui.createTextureWindow = [this](std::int32_t slot) -> DocumentWindow* {
            windows.push_back(std::make_unique<RecordingWindow>());
            ActivateTextureWindow(slot);  // a shown window becomes the active one
            return windows.back().get();
        };
        ui.statusText = [this](const std::string& text) { statusTexts.push_back(text); };
        ui.doEvents = [this] {
            ++doEventsCalls;
            if (onDoEvents) onDoEvents();
        };
    }

    // Documents, entries and windows still open.
    int Open() const {
        int count = 0;
        for (const auto& window : windows)
            count += window->closed ? 0 : 1;
        EXPECT_EQ(InUseCount(Module1().DocumentTable), count);
        EXPECT_EQ(InUseCount(Module1().TextureTable), count);
        return count;
    }

    std::vector<std::unique_ptr<RecordingWindow>> windows;
    RecordingWindows ui;  // handed to the operations (ui.Access(), &ui)
    std::vector<std::string> statusTexts;
    int doEventsCalls = 0;
    std::function<void()> onDoEvents;
    ScratchDir scratch;
};

// The path of a file in tests/data/peer.
inline std::string PeerFile(const std::string& name) {
    return std::string(TINTORA_TEST_DATA_DIR) + "/peer/" + name;
}

}  // namespace tintora::testing
