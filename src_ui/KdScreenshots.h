#pragma once

#include <QString>

class KdMainWindow;

// Pictures of the window for documentation and for looking at it without a display: once the
// current switcher is open, every menu page in a light and in a dark palette, the message that a
// refused entry leaves, the Switcher menu and Import Settings' preview; none of them writes to
// the switcher.
class KdScreenshots {
public:
    // Waits up to openWaitMs for a session, then writes NN-group-page-light.png and
    // NN-group-page-dark.png for each page, refused-edit-, menu- and import-preview-light/dark.png
    // into directory (created when missing), or no-switcher-light/dark.png when none opened. The
    // preview is of a backup exported to a temporary file with three settings changed. Messages go
    // to stderr; 0 when every page was taken with a switcher open, 1 otherwise.
    static int TakeAll(KdMainWindow& window, const QString& directory, int openWaitMs = 8000);
    // Writes the window as it is to NAME-light.png and NAME-dark.png in directory.
    static bool SaveInEachLook(KdMainWindow& window, const QString& directory, const QString& name);
};
