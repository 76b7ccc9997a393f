// A window system for tests: each part runs the function the test puts in its member (nothing
// when empty): `ui.statusText = [&](const std::string& t) { texts.push_back(t); };`.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "document/window_system.h"

namespace tintora::testing {

// The interfaces an operation may be handed, all in one object.
class AllWindowInterfaces : public ProgressDisplay,
                            public DocumentWindows,
                            public ViewMenuMarks,
                            public FatalReport {
  public:
    WindowAccess Access() { return {this, this}; }
};

template <typename Interfaces = AllWindowInterfaces>
class RecordingWindowsOf : public Interfaces {
  public:
    std::function<void()> doEvents;
    std::function<void()> doEventsWhileDrawing;  // empty: as doEvents
    std::function<void(const std::string&)> statusText;
    std::function<DocumentWindow*(std::int32_t slot)> createTextureWindow;
    std::function<PresentTarget*()> previewPictureBox;
    std::function<void()> showPreviewWindow;
    std::function<void()> hidePreviewWindow;
    std::function<void(ViewMode, bool)> viewMenuChecks;
    std::function<void(const std::string&)> messageBox;
    std::function<void()> endProgram;

    void DoEvents() override { Run(doEvents); }
    void DoEventsWhileDrawing() override {
        doEventsWhileDrawing ? doEventsWhileDrawing() : DoEvents();
    }
    void SetStatusText(const std::string& text) override { Run(statusText, text); }
    DocumentWindow* CreateTextureWindow(std::int32_t slot) override {
        return createTextureWindow ? createTextureWindow(slot) : nullptr;
    }
    PresentTarget* PreviewPictureBox() override {
        return previewPictureBox ? previewPictureBox() : nullptr;
    }
    void ShowPreviewWindow() override { Run(showPreviewWindow); }
    void HidePreviewWindow() override { Run(hidePreviewWindow); }
    void SetViewMenuChecks(ViewMode mode, bool alphaOnly) override {
        Run(viewMenuChecks, mode, alphaOnly);
    }
    void MessageBox(const std::string& text) override { Run(messageBox, text); }
    void EndProgram() override { Run(endProgram); }

  protected:
    template <typename Function, typename... Arguments>
    static void Run(const Function& function, Arguments&&... arguments) {
        if (function) function(std::forward<Arguments>(arguments)...);
    }
};

using RecordingWindows = RecordingWindowsOf<>;

}  // namespace tintora::testing
