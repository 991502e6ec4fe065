#pragma once

#include <QSize>

#include "mainwindow/startup.h"
#include "platform/settings_store.h"

namespace rendaal {

// Where the main window opens: its stored place on the screen that place is on, or the main
// screen when it is on none; sizes are of the client area.
ScreenArea PlaceOnStoredScreen(const SettingsStore& store, QSize minimum, QSize preferred);

}  // namespace rendaal
