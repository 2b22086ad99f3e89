// Copying and dragging a flattened image.

#include "output/ExportService.h"

#include "output/ImageMimeData.h"
#include "platform/AtomicWrite.h"
#include "platform/Defaults.h"
#include "platform/PrivateFolder.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QLocale>
#include <QTimer>
#include <QUrl>

namespace snapkin {

using platform::BaseImage;
using platform::Defaults;

namespace {

void countExport(Defaults& defaults)
{
    defaults.add(keys::reviewExportCount, 1);
}

} // namespace

ImageMimeData::ImageMimeData(BaseImage image) : m_image(std::move(image))
{
    if (auto png = ExportService::data(m_image, ExportFormat::png)) {
        setData(QString::fromLatin1(pngType), *png);
        m_hasPng = true;
    }
}

QStringList ImageMimeData::formats() const
{
    QStringList list = QMimeData::formats();
    if (!m_image.isNull()) list << QString::fromLatin1(tiffType);
    return list;
}

bool ImageMimeData::hasFormat(const QString& mimeType) const
{
    return formats().contains(mimeType);
}

QVariant ImageMimeData::retrieveData(const QString& mimeType, QMetaType type) const
{
    if (mimeType != QLatin1String(tiffType)) return QMimeData::retrieveData(mimeType, type);
    if (!m_tiffMade) {
        m_tiffMade = true;
        if (auto tiff = ExportService::data(m_image, ExportFormat::tiff)) m_tiff = *tiff;
    }
    if (m_tiff.isEmpty()) return {};
    return m_tiff;
}

bool ExportService::copy(const QImage& image, bool countsAsExport)
{
    return copy(BaseImage(image), countsAsExport);
}

bool ExportService::copy(const BaseImage& image, bool countsAsExport)
{
    Defaults& defaults = Defaults::standard();
    if (countsAsExport) {
        // Writing the counter syncs the settings file to disk; it waits for the event loop, so
        // the copy never waits for the disk.
        if (QCoreApplication::instance())
            QTimer::singleShot(0, QCoreApplication::instance(),
                               [] { countExport(Defaults::standard()); });
        else
            countExport(defaults);
    }
    BaseImage copied = image;
    // At full size one pixel is one point: a 2x capture pastes at twice its on-screen size.
    if (defaults.get(keys::copyAtFullSize))
        copied = copied.withPointSize(QSizeF(image.pixelSize()));
    auto* mime = new ImageMimeData(copied);
    const bool made = mime->hasPng();
    QGuiApplication::clipboard()->setMimeData(mime, QClipboard::Clipboard);
    return made;
}

QString ExportService::dragName(const QDateTime& time)
{
    // The same English words in every interface language, as the file names of other
    // systems' drags read.
    return QStringLiteral("Snapkin ") +
           QLocale::c().toString(time, QStringLiteral("yyyy-MM-dd 'at' HH.mm.ss"));
}

QMimeData* ExportService::dragData(const QImage& image) const
{
    auto* mime = new QMimeData;
    const std::optional<QByteArray> png = data(BaseImage(image), ExportFormat::png);
    if (!png) return mime;
    const QDateTime now = m_clock ? m_clock() : QDateTime::currentDateTime();
    // A folder per drag: the drop target may read the file long after the drag ended, and a
    // second drag must not take it away. The few newest stay for drop targets that read late;
    // the rest go now, and all of them when the application quits.
    const QString drags = QStringLiteral("Drag");
    if (auto folder = platform::PrivateFolder::makeUniqueFolder(drags)) {
        const QString path = *folder + QLatin1Char('/') + dragName(now) + QStringLiteral(".png");
        if (platform::writeFileAtomically(path, *png, platform::FileAccess::userOnly))
            mime->setUrls({QUrl::fromLocalFile(path)});
        platform::PrivateFolder::keepNewest(drags, keptDragFiles);
        static const bool removedAtQuit = [&drags] {
            if (QCoreApplication* app = QCoreApplication::instance())
                QObject::connect(app, &QCoreApplication::aboutToQuit,
                                 [drags] { platform::PrivateFolder::keepNewest(drags, 0); });
            return true;
        }();
        (void)removedAtQuit;
    }
    mime->setData(QString::fromLatin1(ImageMimeData::pngType), *png);
    return mime;
}

} // namespace snapkin
