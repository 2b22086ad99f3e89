#include "ui/canvas/handlers/ImagePicker.h"

#include "platform/L10n.h"

#include <QFileDialog>
#include <QImageReader>
#include <QStringList>
#include <QWidget>

namespace snapkin {

std::optional<QString> FileDialogImagePicker::chooseImageFile(QWidget* parent)
{
    QStringList patterns;
    for (const QByteArray& format : QImageReader::supportedImageFormats())
        patterns << QStringLiteral("*.") + QString::fromLatin1(format);
    const QString filter = platform::L10n::text("Images") + QStringLiteral(" (") +
                           patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
    if (parent) {
        parent->window()->raise();
        parent->window()->activateWindow();
    }
    const QString path = QFileDialog::getOpenFileName(parent, QString(), QString(), filter);
    if (path.isEmpty()) return std::nullopt;
    return path;
}

} // namespace snapkin
