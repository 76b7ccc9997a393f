#include "effects/ui/preview_scheduler.h"

#include <QScopeGuard>
#include <QTimer>
#include <exception>
#include <utility>

#include "texture_window/form1.h"

namespace tintora {

PreviewScheduler::PreviewScheduler(std::function<void()> preview, QObject* parent,
                                   MessageSink* reports)
    : QObject(parent), reports_(reports), preview_(std::move(preview)), timer_(new QTimer(this)) {
    timer_->setSingleShot(true);
    timer_->setInterval(0);
    connect(timer_, &QTimer::timeout, this, [this] { RunHandler(reports_, [this] { Run(); }); });
}

void PreviewScheduler::Request() {
    if (closing_) return;
    requested_ = true;
    // A running preview's loop picks the request up when it is done.
    if (!running_) timer_->start();
}

void PreviewScheduler::Drop() {
    requested_ = false;
    timer_->stop();
}

void PreviewScheduler::RunWhenIdle(std::function<void()> action) {
    if (closing_) return;
    if (running_) {
        closing_ = true;
        waitingAction_ = std::move(action);
        return;
    }
    RunAction(action);
}

void PreviewScheduler::RunAction(const std::function<void()>& action) {
    closing_ = true;
    running_ = true;
    Drop();
    const auto done = qScopeGuard([this] {
        Drop();
        running_ = false;
        closing_ = false;
    });
    action();
}

void PreviewScheduler::Run() {
    if (running_) return;
    std::exception_ptr failure;
    {
        running_ = true;
        const auto done = qScopeGuard([this] { running_ = false; });
        try {
            while (requested_ && !waitingAction_) {
                requested_ = false;
                ++previewsStarted_;
                preview_();
            }
        } catch (...) {
            requested_ = false;
            failure = std::current_exception();
        }
    }
    if (waitingAction_) {
        const std::function<void()> action = std::exchange(waitingAction_, nullptr);
        // A failed preview must not keep the dialog from closing; its error is reported after.
        if (failure) {
            RunHandler(reports_, [this, &action] { RunAction(action); });
        } else {
            RunAction(action);
        }
    }
    if (failure) std::rethrow_exception(failure);
}

}  // namespace tintora
