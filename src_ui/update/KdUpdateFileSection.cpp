#include "KdUpdateFileSection.h"

#include "ui_KdUpdateFileSection.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QMimeData>

namespace {
constexpr int kDragFrameWidth = 5;
constexpr int kDragFrameRadius = 5;
} // namespace

KdUpdateFileSection::KdUpdateFileSection(QWidget* parent)
    : QWidget(parent), ui(std::make_unique<Ui::KdUpdateFileSection>()) {
    ui->setupUi(this);
    setAcceptDrops(true);
    connect(ui->browseButton, &QPushButton::clicked, this, &KdUpdateFileSection::onButtonBrowse);
    connect(ui->fileName, &QLineEdit::textChanged, this, &KdUpdateFileSection::filePathChanged);
}

KdUpdateFileSection::~KdUpdateFileSection() = default;

bool KdUpdateFileSection::fileValid() const {
    return ui->radioButton->isChecked() && !ui->fileName->text().isEmpty();
}

bool KdUpdateFileSection::sectionEnabled() const {
    return ui->fileName->isEnabled();
}

void KdUpdateFileSection::setSectionEnabled(bool enabled) {
    ui->fileName->setEnabled(enabled);
    ui->browseButton->setEnabled(enabled);
}

void KdUpdateFileSection::setFilePath(const QString& path) {
    ui->fileName->setText(path); // tells filePathChanged when it differs
}

QString KdUpdateFileSection::filePath() const {
    return ui->fileName->text();
}

void KdUpdateFileSection::onButtonBrowse() {
    auto* dialog = new QFileDialog(window(), tr("Choose a firmware file"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setFileMode(QFileDialog::ExistingFile);
    dialog->setNameFilter(tr("Firmware (*.%1)").arg(mFileExt));
    dialog->setOption(QFileDialog::ReadOnly); // no new folders
    connect(dialog, &QFileDialog::fileSelected, this, &KdUpdateFileSection::setFilePath);
    dialog->open(); // a sheet on the update window
}

QString KdUpdateFileSection::draggingFilePath(const QMimeData* data) const {
    if (!ui->radioButton->isEnabled() || !data || !data->hasUrls()) return {};
    const QList<QUrl> urls = data->urls();
    if (urls.size() != 1 || !urls.first().isLocalFile()) return {};
    const QFileInfo file(urls.first().toLocalFile());
    // The extension must match exactly: "BIN" is not "bin".
    if (file.suffix() != mFileExt || !file.exists() || file.isDir()) return {};
    return file.absoluteFilePath();
}

void KdUpdateFileSection::dragEnterEvent(QDragEnterEvent* event) {
    setInDragging(true, !draggingFilePath(event->mimeData()).isEmpty());
    event->acceptProposedAction();
}

void KdUpdateFileSection::dragLeaveEvent(QDragLeaveEvent* event) {
    setInDragging(false);
    event->accept();
}

void KdUpdateFileSection::dropEvent(QDropEvent* event) {
    setInDragging(false);
    // A refused drop leaves the section as it was, a typed path included.
    const QString path = draggingFilePath(event->mimeData());
    if (path.isEmpty()) return event->ignore();
    ui->fileName->setText(path);
    emit fileDropped(this);
    event->acceptProposedAction();
}

void KdUpdateFileSection::setInDragging(bool dragging, bool showFrame) {
    mInDragging = dragging;
    ui->fileName->setReadOnly(dragging);
    if (!dragging && !mDragFrame) return;
    QFrame* frame = ensureDragFrame();
    frame->setGeometry(ui->boxFrame->contentsRect().translated(ui->boxFrame->pos()));
    frame->setStyleSheet(QStringLiteral("QFrame { border: %1px solid %2; border-radius: %3px; }")
                             .arg(kDragFrameWidth)
                             .arg(palette().color(QPalette::Highlight).name())
                             .arg(kDragFrameRadius));
    frame->setVisible(dragging && showFrame);
    frame->raise();
}

QFrame* KdUpdateFileSection::ensureDragFrame() {
    if (!mDragFrame) {
        mDragFrame = new QFrame(this);
        mDragFrame->setObjectName("dragFrame");
        mDragFrame->setAttribute(Qt::WA_TransparentForMouseEvents);
        mDragFrame->hide();
    }
    return mDragFrame;
}

QRadioButton* KdUpdateFileSection::radioButton() const {
    return ui->radioButton;
}
QFrame* KdUpdateFileSection::boxFrame() const {
    return ui->boxFrame;
}
QLineEdit* KdUpdateFileSection::fileName() const {
    return ui->fileName;
}
QPushButton* KdUpdateFileSection::browseButton() const {
    return ui->browseButton;
}
