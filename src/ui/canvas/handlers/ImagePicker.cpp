#include "ui/canvas/handlers/ImagePicker.h"

#include "platform/L10n.h"

#include <QFileDialog>
#include <QImageReader>
#include <QStringList>
#include <QWidget>

namespace snapkin {

QString imageFileFilter()
{
    QStringList patterns;
    for (const QByteArray& format : QImageReader::supportedImageFormats())
        patterns << QStringLiteral("*.") + QString::fromLatin1(format);
    return platform::L10n::text("Images") + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) +
           QLatin1Char(')');
}

std::optional<QString> FileDialogImagePicker::chooseImageFile(QWidget* parent)
{
    if (parent) {
        parent->window()->raise();
        parent->window()->activateWindow();
    }
    const QString path =
        QFileDialog::getOpenFileName(parent, QString(), QString(), imageFileFilter());
    if (path.isEmpty()) return std::nullopt;
    return path;
}

} // namespace snapkin
