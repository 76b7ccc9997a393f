// BusyCursor: the wait cursor over every window of the editor while a long command runs.
//
// Two things make the editor busy:
//  - a command of the main window (menu item, tool button, a load from the command line or a
//    drop) holds a Scope for its whole run; while a modal window is up inside it (a file dialog,
//    the export dialog, a message box, an adjustment dialog) the user is being asked something,
//    so the normal cursor comes back until that window goes;
//  - a progress text on the status line ("Busy (n%)") marks work in progress wherever it runs,
//    also a preview computed inside a modal dialog: the wait cursor stays until the program next
//    waits for input (the event loop is about to block). Long operations let pending messages
//    run in their middle without blocking, so the cursor stays through them.
//
// One application override cursor is pushed at most; it is popped when neither reason holds.
// UI thread only. The main window owns one BusyCursor.
#pragma once

#include <QObject>

class QWidget;

namespace tintora {

class BusyCursor : public QObject {
    Q_OBJECT

  public:
    explicit BusyCursor(QObject* parent = nullptr);
    ~BusyCursor() override;
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;

    // Holds the editor busy from construction to destruction. Scopes nest.
    class Scope {
      public:
        explicit Scope(BusyCursor& busy);
        ~Scope();
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

      private:
        BusyCursor& busy_;
    };

    // Work in progress reported (a "Busy (n%)" text): busy until the event loop next waits.
    void Progress();

    // True while the wait cursor is pushed.
    bool showing() const { return shown_; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // Pushes or pops the override cursor to match the current reasons. changed is a window that
    // is being shown (visible true) or hidden (visible false) right now, null for none.
    void Update(const QWidget* changed = nullptr, bool visible = false);
    void Idle();

    int depth_ = 0;
    bool untilIdle_ = false;
    bool shown_ = false;
};

}  // namespace tintora
