// Saving through the save dialog.

#include "output/ExportService.h"

#include "model/AnnotationStore.h"
#include "output/PackageFileDialogs.h"

#include "output/FlattenService.h"
#include "output/SaveOptionsAccessory.h"
#include "output/WebPEncoder.h"
#include "platform/AtomicWrite.h"
#include "platform/Defaults.h"
#include "platform/L10n.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QMessageBox>
#include <QUrl>

#include <mutex>

namespace snapkin {

using platform::Defaults;
using platform::L10n;

namespace {

// Installed by tests and read when saving: process-wide, so behind a lock.
struct Hooks {
    std::mutex mutex;
    SavePanelFactory savePanelFactory;
};

Hooks& hooks()
{
    static Hooks installed;
    return installed;
}

SavePanelFactory savePanelFactory()
{
    const std::lock_guard lock(hooks().mutex);
    return hooks().savePanelFactory;
}

QWidget* alertParent(QWidget* parent)
{
    return parent ? parent : QApplication::activeWindow();
}

void showFlattenAlert(QWidget* parent, FlattenError error)
{
    QMessageBox alert(QMessageBox::Warning, QString(), userMessage(error), QMessageBox::NoButton,
                      alertParent(parent));
    alert.setInformativeText(explanation(error));
    alert.addButton(L10n::text("OK"), QMessageBox::AcceptRole);
    alert.exec();
}

void showSaveAlert(QWidget* parent, const QString& reason)
{
    QMessageBox alert(QMessageBox::Warning, QString(), L10n::text("Couldn't save the image"),
                      QMessageBox::NoButton, alertParent(parent));
    alert.setInformativeText(reason);
    alert.addButton(L10n::text("OK"), QMessageBox::AcceptRole);
    alert.exec();
}

QString defaultName(ExportFormat format)
{
    return L10n::text("Screenshot") + QLatin1Char('.') + ext(format);
}

// The name field's text with its extension replaced by the format's. Only the last extension
// goes ("a.b.png" -> "a.b.jpg"); an emptied field becomes "Screenshot".
QString renamedForFormat(const QString& typed, ExportFormat format)
{
    QString base = typed;
    const int slash = base.lastIndexOf(QLatin1Char('/'));
    const int dot = base.lastIndexOf(QLatin1Char('.'));
    if (dot > slash + 1) base.truncate(dot);
    if (base.isEmpty() || base.endsWith(QLatin1Char('/'))) base += L10n::text("Screenshot");
    return base + QLatin1Char('.') + ext(format);
}

} // namespace

void ExportService::setSavePanelFactory(SavePanelFactory factory)
{
    const std::lock_guard lock(hooks().mutex);
    hooks().savePanelFactory = std::move(factory);
}

QString ExportService::withFormatExtension(const QString& path, ExportFormat format)
{
    const QFileInfo info(path);
    const QString suffix = info.suffix();
    const QString name = info.fileName();
    const auto named = suffix.isEmpty() || suffix.size() == name.size() - 1
                           ? std::nullopt
                           : exportFormatFromExtension(suffix);
    if (named == format) return path;
    QString stem = path;
    if (named) stem.chop(suffix.size() + 1);
    return stem + QLatin1Char('.') + ext(format);
}

QString ExportService::encodingFailureReason(const QImage& image, ExportFormat format)
{
    if (format == ExportFormat::webp
        && (image.width() > WebPEncoder::kMaxSide || image.height() > WebPEncoder::kMaxSide)) {
        return L10n::format("WebP images can be at most %lld pixels on a side.",
                            qint64(WebPEncoder::kMaxSide));
    }
    return L10n::format("The image couldn't be encoded as %@.", label(format));
}

namespace {

// The image file each editor's store was last saved to, for Show in File Manager; an entry
// goes with its store. GUI thread only, as saving is.
QHash<const AnnotationStore*, QString>& savedImages()
{
    static QHash<const AnnotationStore*, QString> saved;
    return saved;
}

void rememberSavedImage(AnnotationStore& store, const QString& path)
{
    if (!savedImages().contains(&store))
        QObject::connect(&store, &QObject::destroyed, [key = &store] { savedImages().remove(key); });
    savedImages().insert(&store, path);
}

} // namespace

QString ExportService::savedFile(const AnnotationStore& store) const
{
    const QString image = savedImages().value(&store);
    if (!image.isEmpty() && QFileInfo(image).isFile()) return image;
    const QUrl& document = store.documentURL();
    if (document.isLocalFile() && QFileInfo::exists(document.toLocalFile()))
        return document.toLocalFile();
    return {};
}

bool ExportService::save(const QImage& image, ExportFormat format, AnnotationStore* document,
                         QWidget* parent, const QString& fileName,
                         const CompanionWriter& writeCompanion) const
{
    return saveFrom([&image] { return std::optional<QImage>(image); }, format, document, parent,
                    fileName, writeCompanion);
}

bool ExportService::saveFlattened(AnnotationStore& document, ExportFormat format, QWidget* parent,
                                  const CompanionWriter& writeCompanion) const
{
    FlattenService::Input input = FlattenService::input(document);
    if (const std::optional<FlattenError> refused = FlattenService::refusal(input)) {
        showFlattenAlert(parent, *refused);
        return false;
    }
    // A dialog cancelled before the worker is done leaves it to finish on its own; its image is
    // then dropped.
    QFuture<std::expected<QImage, FlattenError>> pending =
        FlattenService::flattenInBackground(std::move(input));
    return saveFrom(
        [&]() -> std::optional<QImage> {
            if (!pending.isFinished()) {
                QApplication::setOverrideCursor(Qt::WaitCursor);
                pending.waitForFinished();
                QApplication::restoreOverrideCursor();
            }
            std::expected<QImage, FlattenError> flattened = pending.result();
            if (flattened) return std::move(*flattened);
            showFlattenAlert(parent, flattened.error());
            return std::nullopt;
        },
        format, &document, parent, {}, writeCompanion);
}

bool ExportService::saveFrom(const std::function<std::optional<QImage>()>& flattened,
                             ExportFormat format, AnnotationStore* document, QWidget* parent,
                             const QString& fileName, const CompanionWriter& writeCompanion) const
{
    Defaults& defaults = Defaults::standard();
    const SavePanelFactory factory = savePanelFactory();
    std::unique_ptr<SavePanel> panel = factory ? factory(parent) : makeFileDialogSavePanel(parent);
    const QString folder = defaults.get(keys::defaultSaveFolder);
    if (!folder.isEmpty()) panel->setDirectory(folder);
    panel->setFormat(format);
    panel->setFileName(fileName.isEmpty() ? defaultName(format) : renamedForFormat(fileName, format));

    auto* accessory = new SaveOptionsAccessory(format, document != nullptr);
    SavePanel* panelRef = panel.get();
    // The accessory lives inside the panel, so the panel outlives every call of this.
    accessory->onFormatChange = [panelRef](ExportFormat chosen) {
        panelRef->setFormat(chosen);
        panelRef->setFileName(renamedForFormat(panelRef->fileName(), chosen));
    };
    panel->setAccessory(accessory);

    // Qt's dialog does not hold the name to the filter: the format's extension is put right
    // after the dialog closes, and a name that this makes collide is asked about again.
    QString path;
    for (;;) {
        const std::optional<QString> chosenPath = panel->run();
        if (!chosenPath || chosenPath->isEmpty()) return false;
        path = withFormatExtension(*chosenPath, accessory->format());
        if (path == *chosenPath || !QFileInfo(path).exists()) break;
        // The extension the format needs can turn the chosen name into one that exists: the
        // dialog only asked about the name as typed.
        if (packagedialogs::confirmReplace(alertParent(parent), path)) break;
        panel->setFileName(QFileInfo(path).fileName());
    }

    const ExportFormat chosen = accessory->format();
    const double chosenQuality = accessory->quality();
    defaults.set(keys::exportFormat, toRaw(chosen));
    if (chosen == ExportFormat::jpeg) defaults.set(keys::jpegQuality, chosenQuality);
    if (chosen == ExportFormat::webp) defaults.set(keys::webpQuality, chosenQuality);

    const std::optional<QImage> ready = flattened();
    if (!ready) return false;
    const QImage& image = *ready;

    const std::optional<QByteArray> bytes = data(platform::BaseImage(image), chosen, chosenQuality);
    if (!bytes) {
        showSaveAlert(parent, encodingFailureReason(image, chosen));
        return false;
    }
    if (auto written = platform::writeFileAtomically(path, *bytes); !written) {
        showSaveAlert(parent, platform::describeWriteFailure(path, written.error()));
        return false;
    }

    if (document) rememberSavedImage(*document, path);
    if (document && accessory->savesDocument() && writeCompanion) writeCompanion(*document, path);
    if (defaults.get(keys::autoCopyAfterSave)) copy(image, false);
    defaults.set(keys::reviewExportCount, defaults.get(keys::reviewExportCount) + 1);
    return true;
}

} // namespace snapkin
