#include "capture/PostCaptureRouter.h"

#include "capture/CaptureService.h"
#include "capture/CaptureToast.h"
#include "model/PackageFolders.h"
#include "platform/Defaults.h"
#include "platform/ImageReader.h"
#include "platform/L10n.h"
#include "platform/NewFileWrite.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>

#include <unistd.h>

namespace snapkin {

using platform::BaseImage;

namespace {

// A picture without pixels is one whose conversion ran out of memory: it is refused with the
// image budget's message, never opened as an empty editor or passed on.
bool refusedWithoutPixels(const BaseImage& image)
{
    if (!image.isNull()) return false;
    CaptureToast::show(platform::userMessage(platform::ImageReadError::tooLarge), 4.0);
    return true;
}

} // namespace

PostCaptureRouter::Routes PostCaptureRouter::defaultRoutes()
{
    Routes routes;
    routes.copy = [](const BaseImage& image) { ExportService::copy(image, true); };
    routes.alert = [](const QString& message) {
        QMessageBox alert(QMessageBox::Warning, QString(), message, QMessageBox::NoButton,
                          QApplication::activeWindow());
        alert.addButton(platform::L10n::text("OK"), QMessageBox::AcceptRole);
        alert.exec();
    };
    routes.encode = [](const BaseImage& image, ExportFormat format) {
        return ExportService::data(image, format);
    };
    routes.sourceAppName = [] { return CaptureService::sourceAppName(); };
    routes.now = [] { return QDateTime::currentDateTime(); };
    return routes;
}

PostCaptureRouter::PostCaptureRouter(platform::Defaults& settings, CaptureHooks hooks,
                                     Routes routes)
    : m_settings(settings), m_hooks(hooks), m_routes(std::move(routes))
{
    if (!m_routes.savePanel)
        m_routes.savePanel = [this](const BaseImage& image, ExportFormat format,
                                    const QString& fileName) {
            m_exports->save(imageForOutput(image), format, nullptr, nullptr, fileName);
        };
}

void PostCaptureRouter::registerDefaults()
{
    m_settings.registerDefault(keys::afterCaptureShow);
    m_settings.registerDefault(keys::afterCaptureCopy);
    m_settings.registerDefault(keys::afterCaptureSaveToDisk);
    m_settings.registerDefault(keys::afterCaptureQuickAccess);
}

QString PostCaptureRouter::historyTitle() const
{
    return captureHistoryTitle(m_routes.sourceAppName ? m_routes.sourceAppName() : std::nullopt);
}

void PostCaptureRouter::openEditor(const BaseImage& image, const QString& title,
                                   const QString& historyTitle)
{
    if (m_hooks.editors) m_hooks.editors->openCapture(image, title, historyTitle);
}

void PostCaptureRouter::handleCapturedImage(const BaseImage& image, const QString& title)
{
    if (refusedWithoutPixels(image)) return;
    const bool show = m_settings.get(keys::afterCaptureShow);
    const bool copy = m_settings.get(keys::afterCaptureCopy);
    const bool save = m_settings.get(keys::afterCaptureSaveToDisk);

    if (copy) m_routes.copy(image);
    if (save) saveToDisk(image);
    if (!show && (copy || save)) {
        // No editor to follow: the history keeps the picture itself.
        if (m_hooks.history) m_hooks.history->record(image, historyTitle());
        return;
    }
    openEditor(image, title, historyTitle());
}

void PostCaptureRouter::saveToDisk(const BaseImage& image)
{
    const ExportFormat format = storedExportFormat(m_settings);
    const QDateTime time = m_routes.now();
    const QString name = fileName(time, format, 1);
    const std::optional<QString> folder = resolveDefaultFolder();
    if (!folder) {
        const QString chosen = chosenFolder();
        if (!chosen.isEmpty()) failed(chosen, unusableFolderReason(chosen));
        m_routes.savePanel(image, format, name);
        return;
    }
    const std::optional<QByteArray> data = m_routes.encode(image, format);
    if (!data) {
        // The dialog tells why when it cannot encode either.
        m_routes.savePanel(image, format, name);
        return;
    }
    const auto written = platform::writeNewFile(
        *folder, [&](int attempt) { return fileName(time, format, attempt); }, *data);
    if (!written) {
        failed(*folder, platform::writeFailureReason(*folder, written.error(), data->size()));
        m_routes.savePanel(image, format, name);
        return;
    }
    if (m_settings.get(keys::autoCopyAfterSave)) m_routes.copy(image);
}

void PostCaptureRouter::handleSystemScreenshot(const BaseImage& image, const QString& fileName)
{
    if (refusedWithoutPixels(image)) return;
    if (m_settings.get(keys::afterCaptureCopy)) m_routes.copy(image);
    openEditor(image, fileName, fileName);
}

void PostCaptureRouter::setDefaultSaveFolder(const QString& folder)
{
    const QString path = QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
    m_settings.set(keys::defaultSaveFolder, path);
    if (!folder.isEmpty() && QFileInfo(path).isDir())
        m_settings.set(keys::defaultSaveFolderBookmark, path);
    else
        m_settings.removeObject(keys::defaultSaveFolderBookmark);
}

QString PostCaptureRouter::chosenFolder() const
{
    const QString path = m_settings.get(keys::defaultSaveFolder);
    return QDir::isAbsolutePath(path) ? QDir::cleanPath(path) : QString();
}

QString PostCaptureRouter::unusableFolderReason(const QString& folder)
{
    const QString package = packagefolders::packageAtOrAbove(folder);
    if (package.isEmpty())
        return platform::writeFailureReason(folder, platform::WriteError::cannotCreate, 0);
    if (package == folder) return platform::L10n::text("it's a Snapkin document.");
    return platform::L10n::format("it's inside the Snapkin document “%@”.",
                                  QFileInfo(package).fileName());
}

void PostCaptureRouter::failed(const QString& folder, const QString& reason)
{
    QString shown = QFileInfo(folder).fileName();
    if (shown.isEmpty()) shown = QDir::toNativeSeparators(folder);
    if (m_routes.alert)
        m_routes.alert(
            platform::L10n::format("Couldn't save the screenshot in “%@”: %@", shown, reason));
}

std::optional<QString> PostCaptureRouter::resolveDefaultFolder() const
{
    const QVariant stored = m_settings.object(keys::defaultSaveFolderBookmark);
    const QString path = stored.typeId() == QMetaType::QByteArray
                             ? QFile::decodeName(stored.toByteArray())
                             : stored.toString();
    if (path.isEmpty() || !QDir::isAbsolutePath(path)) return std::nullopt;
    if (!QFileInfo(path).isDir()) return std::nullopt;
    if (::access(QFile::encodeName(path).constData(), W_OK | X_OK) != 0) return std::nullopt;
    // A package's files are the document's own: a later Replace of it would delete the pictures.
    if (!packagefolders::packageAtOrAbove(path).isEmpty()) return std::nullopt;
    return path;
}

QString PostCaptureRouter::fileName(const QDateTime& time, ExportFormat format, int attempt)
{
    // The words are English in every interface language; QDateTime::toString(format) formats
    // in the C locale, unlike QLocale's forms, so the digits and their order stay too.
    QString name =
        QStringLiteral("Screenshot ") + time.toString(QStringLiteral("yyyy-MM-dd 'at' HH.mm.ss"));
    if (attempt > 1) name += QLatin1Char(' ') + QString::number(attempt);
    return name + QLatin1Char('.') + ext(format);
}

} // namespace snapkin
