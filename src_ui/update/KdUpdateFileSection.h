#pragma once

#include <QFrame>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <memory>

class QLineEdit;
class QMimeData;
class QPushButton;
class QRadioButton;

namespace Ui {
class KdUpdateFileSection;
}

// One firmware file choice of the update window: a radio button, and in a box the path field and
// a browse button. A file is also taken by dropping exactly one existing file whose extension is
// fileExt exactly; while such a file is dragged over, a frame in the focus colour marks the box.
// Any other drop changes nothing.
class KdUpdateFileSection : public QWidget {
    Q_OBJECT
public:
    explicit KdUpdateFileSection(QWidget* parent = nullptr);
    ~KdUpdateFileSection() override;

    // The only accepted extension, without the dot ("bin", "cyacd").
    void setFileExt(const QString& extension) { mFileExt = extension; }
    const QString& fileExt() const { return mFileExt; }

    // Its radio button is on and its path is not empty.
    bool fileValid() const;
    bool sectionEnabled() const;
    // Enables the path field and the browse button together.
    void setSectionEnabled(bool enabled);
    void setFilePath(const QString& path);
    QString filePath() const;

    // The file that a drag of these data would give, or "" when it isn't acceptable.
    QString draggingFilePath(const QMimeData* data) const;
    bool inDragging() const { return mInDragging; }
    // The frame shown over the box while an acceptable file is dragged; null until first used.
    QFrame* dragFrame() const { return mDragFrame; }

    QRadioButton* radioButton() const;
    QFrame* boxFrame() const;
    QLineEdit* fileName() const;
    QPushButton* browseButton() const;

signals:
    // The path changed (typed, chosen or dropped).
    void filePathChanged();
    // A file was dropped: the section wants to be the selected one.
    void fileDropped(KdUpdateFileSection* section);

public slots:
    // An open panel as a sheet on the window, for one file with the extension fileExt.
    void onButtonBrowse();

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void setInDragging(bool dragging, bool showFrame = false);
    QFrame* ensureDragFrame();

    std::unique_ptr<Ui::KdUpdateFileSection> ui;
    QString mFileExt;
    QPointer<QFrame> mDragFrame;
    bool mInDragging = false;
};
