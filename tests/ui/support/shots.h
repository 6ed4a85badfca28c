// Screenshots for the window tests.
//
// With KVIL_SHOTS=DIR in the environment, SaveShot(widget, "name") grabs the widget as
// it is drawn now and writes DIR/name.png; without it, it does nothing.  Every window
// test calls it for every window and page it shows, so that a person can look at them.
#pragma once

#include <QString>

class QWidget;

namespace kvil::uitest {

// Directory named by KVIL_SHOTS, or empty when screenshots are off.
QString ShotsDirectory();

// Saves a PNG of `widget` (a top-level window or any child) as DIR/<name>.png.
// Returns the path written, or an empty string when screenshots are off or the write
// failed.
QString SaveShot(QWidget* widget, const QString& name);

// A fresh scratch directory under the test's working directory, emptied first; tests
// run the program's file commands there (kvil.cfg, NoName files, task files).
QString ScratchDirectory(const QString& name);

}  // namespace kvil::uitest
