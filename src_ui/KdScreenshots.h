#pragma once

#include <QString>

class KdMainWindow;

// Pictures of the window for documentation and for looking at it without a display: once the
// current switcher is open, every menu page in a light and in a dark palette, and the message
// that a refused entry leaves (which changes nothing on the switcher).
class KdScreenshots {
public:
    // Waits up to openWaitMs for a session, then writes NN-group-page-light.png and
    // NN-group-page-dark.png for each page and refused-edit-light/dark.png into directory
    // (created when missing), or
    // no-switcher-light/dark.png when none opened. Messages go to stderr; 0 when every page was
    // taken with a switcher open, 1 otherwise.
    static int TakeAll(KdMainWindow& window, const QString& directory, int openWaitMs = 8000);
};
