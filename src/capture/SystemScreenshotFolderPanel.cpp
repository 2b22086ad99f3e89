#include "capture/SystemScreenshotFolderPanel.h"

#include "platform/L10n.h"
#include "ui/output/PackageFileDialogs.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QStandardPaths>

#include <tuple>

namespace snapkin {

namespace {

// The panel's dialog, set up but not shown.
std::unique_ptr<QFileDialog> makeScreenshotFolderDialog(const QString& startFolder)
{
    // Qt's own dialog (the desktop's has no room for the explanation), which refuses a document
    // package or a folder inside one.
    auto dialog =
        std::make_unique<packagedialogs::FolderOutsidePackagesDialog>(QApplication::activeWindow());
    dialog->setObjectName(QStringLiteral("snapkinScreenshotFolderPanel"));
    // Only choosing: no new folders, renaming or deleting from here.
    dialog->setOption(QFileDialog::ReadOnly, true);
    dialog->setWindowTitle(platform::L10n::text("Screenshots Folder"));
    dialog->setLabelText(QFileDialog::Accept, platform::L10n::text("Use This Folder"));
    dialog->startIn(startFolder);

    auto* message = new QLabel(platform::L10n::text(
        "Choose the folder where your desktop's screenshot tool saves screenshots (usually "
        "Pictures/Screenshots)."));
    message->setObjectName(QStringLiteral("screenshotFolderMessage"));
    message->setWordWrap(true);
    // The dialog lays itself out in a grid; the explanation takes a new row above it all.
    if (auto* grid = qobject_cast<QGridLayout*>(dialog->layout())) {
        // Every item moves down one row so the message reads first.
        QList<std::tuple<QLayoutItem*, int, int, int, int>> items;
        while (grid->count() > 0) {
            int row = 0, column = 0, rowSpan = 0, columnSpan = 0;
            grid->getItemPosition(0, &row, &column, &rowSpan, &columnSpan);
            items.append({grid->takeAt(0), row, column, rowSpan, columnSpan});
        }
        const int columns = grid->columnCount();
        grid->addWidget(message, 0, 0, 1, columns);
        for (const auto& [item, row, column, rowSpan, columnSpan] : items)
            grid->addItem(item, row + 1, column, rowSpan, columnSpan);
    } else if (dialog->layout()) {
        message->setParent(dialog.get());
        dialog->layout()->addWidget(message);
    }
    return dialog;
}

class FileDialogFolderPanel final : public SystemScreenshotFolderPanel {
public:
    std::optional<QString> run(const QString& startFolder) override
    {
        std::unique_ptr<QFileDialog> dialog = makeScreenshotFolderDialog(startFolder);
        // Asked from an alert or the settings while another program may be in front.
        dialog->show();
        dialog->raise();
        dialog->activateWindow();
        if (dialog->exec() != QDialog::Accepted) return std::nullopt;
        const QStringList chosen = dialog->selectedFiles();
        if (chosen.size() != 1 || chosen.front().isEmpty()) return std::nullopt;
        return chosen.front();
    }
};

} // namespace

QString defaultScreenshotFolderGuess()
{
    const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    if (!pictures.isEmpty()) {
        const QString screenshots = QDir(pictures).filePath(QStringLiteral("Screenshots"));
        if (QFileInfo(screenshots).isDir()) return screenshots;
        if (QFileInfo(pictures).isDir()) return pictures;
    }
    return QDir::homePath();
}

std::unique_ptr<SystemScreenshotFolderPanel> makeFileDialogFolderPanel()
{
    return std::make_unique<FileDialogFolderPanel>();
}

} // namespace snapkin
