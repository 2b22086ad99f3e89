#pragma once

#include <QImage>
#include <QList>
#include <QUuid>

#include <functional>
#include <optional>

class QWidget;

namespace snapkin {

class ExportDialogs;
class CaptureHistory;
class EditorWindowController;

// What the start window does with history entries: open one in an editor that keeps writing
// it back, copy, save or drag its finished image, show its package in the file manager, and
// remove entries after asking. A package that cannot be read shows an alert and changes
// nothing.
class HistoryEntryActions {
public:
    // Asks whether to delete `count` entries; true to go ahead.
    using Confirm = std::function<bool(QWidget* parent, qsizetype count)>;
    static Confirm defaultConfirm();

    // Entries open among `editors`; images are saved through `exports`; all three must outlive
    // the actions.
    HistoryEntryActions(EditorWindowController& editors, CaptureHistory& history,
                        ExportDialogs& exports, Confirm confirm = defaultConfirm());

    // Brings forward the editor that already follows the entry, or opens the entry's package
    // in a new editor followed by the history under the entry's id (edits are written back,
    // and the entry is not pruned while it is open). False when the package cannot be read.
    bool open(const QUuid& id, QWidget* parent);
    // The entry's finished image (annotations, frame and watermark applied); an alert and
    // nothing when it cannot be made.
    std::optional<QImage> finishedImage(const QUuid& id, QWidget* parent);
    bool copyImage(const QUuid& id, QWidget* parent);
    bool saveAs(const QUuid& id, QWidget* parent);
    void showInFileManager(const QUuid& id);
    // Asks once, then removes the entries (packages and index lines). True when removed.
    bool remove(const QList<QUuid>& ids, QWidget* parent);

private:
    EditorWindowController& m_editors;
    CaptureHistory& m_history;
    ExportDialogs& m_exports;
    Confirm m_confirm;
};

} // namespace snapkin
