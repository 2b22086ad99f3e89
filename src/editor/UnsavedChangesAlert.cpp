#include "editor/UnsavedChangesAlert.h"

#include "editor/DocumentActions.h"
#include "model/AnnotationStore.h"
#include "platform/L10n.h"

#include <QKeySequence>
#include <QMessageBox>
#include <QPushButton>

namespace snapkin {

using platform::L10n;

UnsavedChangesDecision UnsavedChangesAlert::run(ExportDialogs& exports, AnnotationStore& store,
                                                QWidget* parent)
{
    if (!store.hasUnsavedChanges()) return UnsavedChangesDecision::close;

    QMessageBox box(parent);
    box.setIcon(QMessageBox::Warning);
    box.setWindowModality(Qt::ApplicationModal);
    box.setText(L10n::text("Do you want to save your annotations?"));
    box.setInformativeText(L10n::text("Your changes will be lost if you don't save them."));
    QPushButton* save = box.addButton(L10n::text("Save\u2026"), QMessageBox::AcceptRole);
    QPushButton* cancel = box.addButton(L10n::text("Cancel"), QMessageBox::RejectRole);
    QPushButton* discard = box.addButton(L10n::text("Don't Save"), QMessageBox::DestructiveRole);
    discard->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_D));
    box.setDefaultButton(save);
    box.setEscapeButton(cancel);
    box.exec();

    if (box.clickedButton() == save) {
        // Saving exports the image in the remembered format; it reports its own failures.
        if (!DocumentActions::exportImage(exports, store, std::nullopt, parent))
            return UnsavedChangesDecision::keepOpen;
        // A page bound to a document stays dirty after an image export unless its package
        // was written too: closing it then would lose the document's edits.
        return store.hasUnsavedChanges() ? UnsavedChangesDecision::keepOpen
                                         : UnsavedChangesDecision::close;
    }
    if (box.clickedButton() == discard) {
        store.setHasUnsavedChanges(false);
        return UnsavedChangesDecision::discarded;
    }
    return UnsavedChangesDecision::keepOpen;
}

} // namespace snapkin
