#pragma once

#include <QObject>
#include <QString>

#include <functional>

class CKdUsbDevice;
class KdImportDialog;
class KdSettingsJob;
class QWidget;

// The window's Export Settings and Import Settings: the same files as `kaldo-ctl backup` and
// `kaldo-ctl restore`, through the same backend (src/backup). Each call works window-modal on
// parent and leaves the rest of the window responsive while the switcher is read or written.
class KdSettingsTransfer : public QObject {
    Q_OBJECT
public:
    // Called with whether the export succeeded and the message that tells its result.
    using Done = std::function<void(bool saved, const QString& message)>;

    // Asks where to save (a save dialog) and exports there.
    static void exportSettings(QWidget* parent, CKdUsbDevice* device);
    // Reads every setting and writes them to path (mode 0600, replaced only when complete),
    // showing the progress; then done, or without one a message box with the result. Null (done
    // called, or the message shown) when the switcher's link can't be had.
    static KdSettingsJob* exportTo(QWidget* parent, CKdUsbDevice* device, const QString& path,
                                   Done done = {});
    // Asks for a file (an open dialog) and imports it: the import window, or null when no file
    // was chosen.
    static KdImportDialog* importSettings(QWidget* parent, CKdUsbDevice* device);
    // The import window for path, open on parent: it checks the file, compares it with the
    // switcher and writes what the user lets through.
    static KdImportDialog* importFrom(QWidget* parent, CKdUsbDevice* device, const QString& path);

    // "kaldo-1-SERIAL-YYYYMMDD-HHMM.json", the name offered for a new backup.
    static QString suggestedFileName(CKdUsbDevice* device);
};
