#pragma once

#include "output/ExportFormat.h"
#include "ui/output/SavePanel.h"

#include <QImage>
#include <QString>

#include <functional>

class QWidget;

namespace snapkin {

class AnnotationStore;
class ExportService;

// The routes out of the editor that go through a window: the save dialog, with its format
// options and the editable document beside the image, and the share menu. The bytes come from
// ExportService; this adds the dialogs and the alerts around it. Main thread only.
//
// The application makes one and hands it to every window that exports; whoever has it reaches
// the export service it was made over (drags go through that).
class ExportDialogs {
public:
    // `savePanels` makes the save dialog (empty: Qt's own); tests give a fake. `exports` must
    // outlive this.
    explicit ExportDialogs(ExportService& exports, SavePanelFactory savePanels = {});

    ExportService& exports() const { return m_exports; }

    // Lets the user save `image` in the save dialog, with its format and quality options and,
    // when `document` is given, the choice of writing the editable document next to the image.
    // Remembers the chosen format (and the quality of a lossy one, before encoding, so it is kept
    // even when encoding fails), writes the file atomically, writes the document, copies the
    // image when keys::autoCopyAfterSave is on and counts one export. True only when the image file
    // was written; a failure to encode or write shows "Couldn't save the image" with the reason
    // and leaves any earlier file as it was. Runs modally. The dialog proposes `fileName` (its
    // extension follows the format), "Screenshot" when empty.
    // The document is written by `writeCompanion`, which the editor gives (the document
    // package is the editor's); without one no document is written.
    using CompanionWriter = std::function<void(AnnotationStore& store, const QString& imagePath)>;
    bool save(const QImage& image, ExportFormat format, AnnotationStore* document,
              QWidget* parent = nullptr, const QString& fileName = {},
              const CompanionWriter& writeCompanion = {}) const;
    // The same for the flattened `document`, drawn on a worker while the dialog opens and the
    // user chooses, so a long document keeps the dialog waiting for nothing. What cannot be
    // flattened at all shows "Couldn't prepare the image" before any dialog; a flatten that
    // fails for want of memory, once the user has chosen.
    bool saveFlattened(AnnotationStore& document, ExportFormat format, QWidget* parent = nullptr,
                       const CompanionWriter& writeCompanion = {}) const;

    // Opens the share menu for `image`: Copy Image, Open With…, Email… (when xdg-email is
    // installed) and, when `savedFile` names a saved file or document, Show in File Manager.
    // It opens under `button` when given (the toolbar's Share), else under the active window's
    // top edge, 60 points left of its right end; nothing without either.
    static void share(const QImage& image, const QString& savedFile = {},
                      QWidget* button = nullptr);
    // The file an editor's work was last saved to in this session: the image the save dialog
    // wrote for `store`, else the store's document; empty when neither exists (any more).
    static QString savedFile(const AnnotationStore& store);

private:
    bool saveFrom(const std::function<std::optional<QImage>()>& image, ExportFormat format,
                  AnnotationStore* document, QWidget* parent, const QString& fileName,
                  const CompanionWriter& writeCompanion) const;

    ExportService& m_exports;
    SavePanelFactory m_savePanels;
};

} // namespace snapkin
