#pragma once

#include "output/ExportFormat.h"
#include "ui/output/ExportDialogs.h"

#include <QString>

#include <optional>

class QWidget;

namespace snapkin {

class AnnotationStore;

// What the editor does with documents and files on the user's behalf.
class DocumentActions {
public:
    DocumentActions() = delete;

    // Flattens the store and lets the user save the image in the save dialog, which offers to
    // write the editable document next to it. Without a format, the one remembered under
    // keys::exportFormat is used (PNG when it names none). True when the image was saved; a store
    // without a document then counts as saved. Flattening and saving show their own alerts.
    static bool exportImage(ExportDialogs& exports, AnnotationStore& store,
                            std::optional<ExportFormat> format = std::nullopt,
                            QWidget* parent = nullptr);

    // Writes the store's editable document next to an image just saved: "Shot.final.png" gets
    // "Shot.final.snapkin" (only the last extension is replaced).
    //
    // The store's own document there is replaced without asking, and the store is then saved;
    // so is a package this store wrote there itself, as long as it is unchanged on disk since
    // (same inode, same modification time). Any other file or package of that name is never
    // replaced silently: the user chooses Replace, Keep Both (the document goes to the next free
    // "Shot 2.snapkin", "Shot 3.snapkin", … claimed without replacing anything) or Skip. A failure
    // shows "Couldn't save the Snapkin document next to the image"; the image stays saved either
    // way. A written document joins the recent documents. Returns where it was written, or nothing.
    static std::optional<QString> writeCompanion(AnnotationStore& store, const QString& imagePath,
                                                 QWidget* parent = nullptr);

    // writeCompanion() as the save dialog takes it, for every save of an editor's image.
    static ExportDialogs::CompanionWriter companionWriter();

    // "Shot.final.png" -> "Shot.final.snapkin", in the same folder.
    static QString companionPath(const QString& imagePath);
};

} // namespace snapkin
