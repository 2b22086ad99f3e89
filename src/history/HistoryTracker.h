#pragma once

// The capture history's private record of one open editor; included only by its sources.

#include "history/CaptureHistory.h"
#include "model/AnnotationStore.h"

#include <QList>
#include <QMetaObject>
#include <QPointer>
#include <QTimer>

#include <cstdint>

namespace snapkin {

// The base image's PNG from the last package write, so that edits that leave the image alone
// do not encode it again. Touched only by tasks on the history queue, one at a time.
struct CaptureHistory::PackageImageCache {
    std::uint64_t serial = 0;
    QByteArray png;
};

struct CaptureHistory::Tracker {
    QPointer<AnnotationStore> store;
    QString title;
    // None until the entry exists (a blank canvas or an opened file waits for its first edit).
    std::optional<QUuid> entryID;
    bool waitingForFirstEdit = false;
    // Changed since the entry's package was last written.
    bool dirty = false;
    // What recognition had to see when the editor was registered.
    HistoryTextLayer textLayer;
    QTimer writeBackTimer;
    QList<QMetaObject::Connection> connections;
    std::shared_ptr<PackageImageCache> imageCache = std::make_shared<PackageImageCache>();

    ~Tracker()
    {
        for (const auto& connection : connections)
            QObject::disconnect(connection);
    }
};

} // namespace snapkin
