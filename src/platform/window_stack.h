#pragma once

#include <QObject>

class QWidget;

namespace rendaal {

// Keeps every secondary window above the window it was opened from: a window about to show,
// with no parent of its own, is made transient for the modal dialog in front (so it stays usable
// above it) or else for the main window. Without this the window manager may put it behind its
// opener, or a modal dialog may keep it from taking clicks.
class WindowStacking final : public QObject {
    Q_OBJECT

public:
    explicit WindowStacking(QWidget* mainWindow);
    ~WindowStacking() override;

    // The window a secondary window shown now belongs above.
    QWidget* OpenerFor(QWidget* window) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* main_;
};

// Makes window transient for opener's top-level window (no change of ownership).
void KeepAbove(QWidget* window, QWidget* opener);

}  // namespace rendaal
