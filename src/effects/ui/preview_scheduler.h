// PreviewScheduler: runs a dialog's live preview for the newest slider positions only.
//
// A preview of a large texture takes longer than the interval between two slider events of a
// drag, and it lets pending window messages run in its middle, where further slider events
// arrive. Computing one preview per event would queue up (or nest) previews for positions the
// slider has long left. Instead a slider change only marks a preview as requested; the preview
// runs from a zero-delay single-shot timer, after the events already queued, and reads the
// sliders when it starts. Requests that arrive while a preview runs are merged into one preview
// that runs as soon as the current one is done. So the last preview shown is always the one for
// the sliders' final positions, and a drag costs at most one preview beyond the last event.
//
// Previews never nest: a timer that fires inside a running preview's pending messages does
// nothing, the running loop picks the request up. The dialog's closing actions (OK, Cancel)
// run through RunWhenIdle, which waits for a running preview to finish, so a preview never
// writes or draws after them.
//
// UI thread only.
#pragma once

#include <QObject>
#include <functional>

class QTimer;

#include "document/window_system.h"

namespace tintora {

class PreviewScheduler : public QObject {
    Q_OBJECT

  public:
    // preview computes and shows the preview for the dialog's current slider positions; errors
    // of previews that run from the timer go to reports (see RunHandler).
    PreviewScheduler(std::function<void()> preview, QObject* parent, MessageSink* reports);

    // A slider moved: a preview will run for the positions the sliders hold when it starts.
    void Request();
    // Forgets a requested preview that has not started (the dialog closes). A running preview
    // finishes.
    void Drop();
    // Runs action with previews held off: at once when no preview is running, else as soon as
    // the running one (from whose pending messages this is called) has finished. Requested
    // previews are dropped before and after it. While one action runs or waits, further calls
    // are ignored: the dialog's first closing button wins.
    //
    // Errors: an exception from action propagates to the caller when it runs at once; when it
    // runs after a preview it is reported like the preview's own (through RunHandler).
    void RunWhenIdle(std::function<void()> action);

    bool previewRunning() const { return running_; }
    bool previewRequested() const { return requested_; }
    // How many previews have started since construction.
    int previewsStarted() const { return previewsStarted_; }

  private:
    MessageSink* reports_;
    // The timer's handler: runs requested previews until none is left, then a waiting action.
    void Run();
    void RunAction(const std::function<void()>& action);

    std::function<void()> preview_;
    std::function<void()> waitingAction_;
    QTimer* timer_ = nullptr;
    bool requested_ = false;
    bool running_ = false;
    bool closing_ = false;
    int previewsStarted_ = 0;
};

}  // namespace tintora
