#include "ui/output/ExportDialogs.h"

#include "model/AnnotationStore.h"
#include "model/PackageFolders.h"
#include "output/ExportService.h"
#include "output/FlattenService.h"
#include "platform/AtomicWrite.h"
#include "platform/Defaults.h"
#include "platform/L10n.h"
#include "ui/output/FlattenAlert.h"
#include "ui/output/PackageFileDialogs.h"
#include "ui/output/SaveOptionsAccessory.h"

#include <QApplication>
#include <QFileInfo>
#include <QHash>
#include <QUrl>

namespace snapkin {

using platform::Defaults;
using platform::L10n;

namespace {

QWidget* alertParent(QWidget* parent)
{
    return parent ? parent : QApplication::activeWindow();
}

void showSaveAlert(QWidget* parent, const QString& reason)
{
    showAlert(L10n::text("Couldn't save the image"), reason, parent);
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
        QObject::connect(&store, &QObject::destroyed,
                         [key = &store] { savedImages().remove(key); });
    savedImages().insert(&store, path);
}

} // namespace

ExportDialogs::ExportDialogs(ExportService& exports, SavePanelFactory savePanels)
    : m_exports(exports), m_savePanels(std::move(savePanels))
{
}

QString ExportDialogs::savedFile(const AnnotationStore& store)
{
    const QString image = savedImages().value(&store);
    if (!image.isEmpty() && QFileInfo(image).isFile()) return image;
    const QUrl& document = store.documentURL();
    if (document.isLocalFile() && QFileInfo::exists(document.toLocalFile()))
        return document.toLocalFile();
    return {};
}

bool ExportDialogs::save(const QImage& image, ExportFormat format, AnnotationStore* document,
                         QWidget* parent, const QString& fileName,
                         const CompanionWriter& writeCompanion) const
{
    return saveFrom([&image] { return std::optional<QImage>(image); }, format, document, parent,
                    fileName, writeCompanion);
}

bool ExportDialogs::saveFlattened(AnnotationStore& document, ExportFormat format, QWidget* parent,
                                  const CompanionWriter& writeCompanion) const
{
    FlattenService::Input input = FlattenService::input(document);
    if (const std::optional<FlattenError> refused = FlattenService::refusal(input)) {
        showFlattenAlert(*refused, parent);
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
            showFlattenAlert(flattened.error(), parent);
            return std::nullopt;
        },
        format, &document, parent, {}, writeCompanion);
}

bool ExportDialogs::saveFrom(const std::function<std::optional<QImage>()>& flattened,
                             ExportFormat format, AnnotationStore* document, QWidget* parent,
                             const QString& fileName, const CompanionWriter& writeCompanion) const
{
    Defaults& defaults = Defaults::standard();
    std::unique_ptr<SavePanel> panel =
        m_savePanels ? m_savePanels(parent) : makeFileDialogSavePanel(parent);
    const QString folder = defaults.get(keys::defaultSaveFolder);
    if (!folder.isEmpty()) panel->setDirectory(folder);
    panel->setFormat(format);
    panel->setFileName(renamedForFormat(fileName, format));

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
        path = ExportService::withFormatExtension(*chosenPath, accessory->format());
        // Nothing goes inside a document package, neither the image nor a document beside it.
        if (const QString package = packagefolders::enclosingPackage(path); !package.isEmpty()) {
            packagedialogs::alertSaveInsidePackage(alertParent(parent), package,
                                                   packagedialogs::SavedItem::file);
            panel->setDirectory(packagefolders::outsidePackages(package));
            continue;
        }
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

    const std::optional<QByteArray> bytes =
        ExportService::data(platform::BaseImage(image), chosen, chosenQuality);
    if (!bytes) {
        showSaveAlert(parent, ExportService::encodingFailureReason(image, chosen));
        return false;
    }
    if (auto written = platform::writeFileAtomically(path, *bytes); !written) {
        showSaveAlert(parent, platform::describeWriteFailure(path, written.error()));
        return false;
    }

    if (document) rememberSavedImage(*document, path);
    if (document && accessory->savesDocument() && writeCompanion) writeCompanion(*document, path);
    if (defaults.get(keys::autoCopyAfterSave)) ExportService::copy(image, false);
    defaults.add(keys::reviewExportCount, 1);
    return true;
}

} // namespace snapkin
