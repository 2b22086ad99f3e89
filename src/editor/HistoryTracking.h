#pragma once

#include "platform/BaseImage.h"

#include <QString>
#include <QUuid>

#include <optional>

namespace snapkin {

class AnnotationStore;

// What the editors, captures, collages and pastes tell the capture history. The history lives
// above the editor; the editor window controller is given it at start-up and until then tells
// one that does nothing.
class HistoryTracking {
public:
    virtual ~HistoryTracking() = default;

    // The history that keeps nothing, for editors made before or without one; it has no state.
    static HistoryTracking& none();

    // Follows an open editor's store. Without `entryID` a new history entry is made (at once,
    // or at the first edit with `waitForChanges`, as for blank canvases and opened files).
    virtual void track(AnnotationStore& store, const QString& title, std::optional<QUuid> entryID,
                       bool waitForChanges) = 0;
    // The editor of `store` is closing: its pending change is written and it is no longer
    // followed.
    virtual void editorWillClose(AnnotationStore& store) = 0;
    // A capture that went only to the clipboard or a file, never to an editor.
    virtual void record(const platform::BaseImage& image, const QString& title) = 0;
    // Why the history keeps nothing although it is on (its folder is refused), for the user;
    // empty while it works.
    virtual QString unavailableReason() const { return {}; }

    // An entry of the history, as an editor that opens its package names it.
    struct Entry {
        QUuid id;
        QString title;
    };
    // The entry whose package `path` is (a package in the history's own folder that the list
    // holds); none for any other path. Such a package opened as a file continues its entry.
    virtual std::optional<Entry> entryOfPackage(const QString& path) const
    {
        Q_UNUSED(path);
        return std::nullopt;
    }
    // The store of the open editor that follows the entry `id`; null when none does.
    virtual AnnotationStore* openStore(const QUuid& id) const
    {
        Q_UNUSED(id);
        return nullptr;
    }
};

} // namespace snapkin
