#include "app/start/HistoryEntryActions.h"

#include "editor/EditorPage.h"
#include "editor/EditorWindowController.h"
#include "history/CaptureHistory.h"
#include "model/AnnotationStore.h"
#include "model/SnapkinDocument.h"
#include "output/ExportService.h"
#include "output/FlattenService.h"
#include "platform/Defaults.h"
#include "platform/L10n.h"
#include "ui/output/ExportDialogs.h"
#include "ui/output/FlattenAlert.h"
#include "ui/output/ShareMenu.h"

#include <QDesktopServices>
#include <QMessageBox>
#include <QPushButton>
#include <QUrl>

namespace snapkin {

using platform::L10n;

namespace {

void alertUnreadable(QWidget* parent, const QString& explanation)
{
    QMessageBox box(QMessageBox::Warning, L10n::text("Couldn't open the capture"), explanation,
                    QMessageBox::Ok, parent);
    box.exec();
}

} // namespace

HistoryEntryActions::Confirm HistoryEntryActions::defaultConfirm()
{
    return [](QWidget* parent, qsizetype count) {
        QMessageBox box(QMessageBox::Warning,
                        L10n::plural("Delete %lld capture from the history?",
                                     "Delete %lld captures from the history?", qint64(count)),
                        L10n::text("Their images and annotations are removed from this "
                                   "computer. Files you saved yourself stay."),
                        QMessageBox::NoButton, parent);
        QPushButton* remove = box.addButton(L10n::text("Delete"), QMessageBox::DestructiveRole);
        box.addButton(L10n::text("Cancel"), QMessageBox::RejectRole);
        box.setDefaultButton(remove);
        box.exec();
        return box.clickedButton() == remove;
    };
}

HistoryEntryActions::HistoryEntryActions(EditorWindowController& editors, CaptureHistory& history,
                                         ExportDialogs& exports, Confirm confirm)
    : m_editors(editors), m_history(history), m_exports(exports), m_confirm(std::move(confirm))
{
}

bool HistoryEntryActions::open(const QUuid& id, QWidget* parent)
{
    if (AnnotationStore* store = m_history.openStore(id)) {
        if (EditorPage* page = m_editors.pageOf(*store)) {
            EditorWindowController::bringForward(page);
            return true;
        }
    }
    const HistoryEntry* entry = m_history.entry(id);
    if (!entry) return false;
    const HistoryEntry shown = *entry; // opening may change the list
    auto contents = SnapkinDocument::read(m_history.files().packagePath(id));
    if (!contents) {
        alertUnreadable(parent, contents.error().userMessage());
        return false;
    }
    const AnnotationDocument& document = contents->document;
    EditorOpenOptions options;
    options.annotations = document.annotations;
    options.nextStampNumber = document.nextStampNumber;
    options.frame = document.frame;
    options.watermark = document.watermark;
    options.appliesRememberedFrame = false;
    AnnotationStore& store = m_editors.open(contents->image, shown.title, std::move(options));
    m_editors.history().track(store, shown.title, shown.id, false);
    return true;
}

std::optional<QImage> HistoryEntryActions::finishedImage(const QUuid& id, QWidget* parent)
{
    // An open editor has the newest state, possibly not written back yet.
    if (AnnotationStore* store = m_history.openStore(id)) return flattenOrAlert(*store, parent);
    auto contents = SnapkinDocument::read(m_history.files().packagePath(id));
    if (!contents) {
        alertUnreadable(parent, contents.error().userMessage());
        return std::nullopt;
    }
    auto image = FlattenService::flatten(contents->document, contents->image);
    if (!image) {
        QMessageBox box(QMessageBox::Warning, userMessage(image.error()),
                        explanation(image.error()), QMessageBox::Ok, parent);
        box.exec();
        return std::nullopt;
    }
    return *image;
}

bool HistoryEntryActions::copyImage(const QUuid& id, QWidget* parent)
{
    const auto image = finishedImage(id, parent);
    return image && ExportService::copy(*image, true);
}

bool HistoryEntryActions::saveAs(const QUuid& id, QWidget* parent)
{
    const auto image = finishedImage(id, parent);
    if (!image) return false;
    const ExportFormat format = storedExportFormat(platform::Defaults::standard());
    return m_exports.save(*image, format, nullptr, parent);
}

void HistoryEntryActions::showInFileManager(const QUuid& id)
{
    const QString package = m_history.files().packagePath(id);
    if (ShareMenu::systemDesktop().showItem(package)) return;
    QDesktopServices::openUrl(QUrl::fromLocalFile(m_history.files().directory()));
}

bool HistoryEntryActions::remove(const QList<QUuid>& ids, QWidget* parent)
{
    if (ids.isEmpty() || !m_confirm(parent, ids.size())) return false;
    m_history.remove(ids);
    return true;
}

} // namespace snapkin
