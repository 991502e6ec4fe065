#include "mainwindow/window_place.h"

#include <QGuiApplication>
#include <QScreen>
#include <algorithm>
#include <climits>
#include <cstdint>

namespace rendaal {
namespace {

// The window frame is only known once the window is shown; what a usual one takes.
constexpr int kFrameWidth = 10;
constexpr int kFrameHeight = 40;

}  // namespace

ScreenArea PlaceOnStoredScreen(const SettingsStore& store, QSize minimum, QSize preferred) {
    const WindowSettings stored = ReadWindowSettings(store);
    // The screen the stored window was on; one that is off every screen comes to the main one.
    const QPoint centre(static_cast<int>(std::clamp<int64_t>(
                            int64_t{stored.Left} + stored.Width / 2, INT_MIN / 2, INT_MAX / 2)),
                        static_cast<int>(std::clamp<int64_t>(
                            int64_t{stored.Top} + stored.Height / 2, INT_MIN / 2, INT_MAX / 2)));
    QScreen* screen = QGuiApplication::screenAt(centre);
    if (screen == nullptr) {
        screen = QGuiApplication::primaryScreen();
    }
    const QRect area = screen != nullptr ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    return PlaceMainWindow(
        stored, HasStoredSize(store),
        {minimum.width(), minimum.height(), preferred.width(), preferred.height()},
        {area.left(), area.top(), area.width(), area.height()}, kFrameWidth, kFrameHeight);
}

}  // namespace rendaal
