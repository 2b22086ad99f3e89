#include "editor/EditorToolbarItems.h"

#include "platform/Defaults.h"

#include <algorithm>

namespace snapkin {

const std::array<EditorToolbarItem, 14>& EditorToolbarItems::all()
{
    static const std::array<EditorToolbarItem, 14> items{{
        {"newCapture", "New Capture", "camera", "New Capture", 1},
        {"undo", "Undo", "arrow.uturn.backward", "Undo", 1},
        {"redo", "Redo", "arrow.uturn.forward", "Redo", 1},
        {"delete", "Delete selection", "trash", "Delete selection", 2},
        {"zoomOut", "Zoom out", "minus.magnifyingglass", "Zoom out", 2},
        {"zoomIn", "Zoom in", "plus.magnifyingglass", "Zoom in", 2},
        {"zoomToFit", "Fit to window", "arrow.up.left.and.down.right.magnifyingglass",
         "Fit to window", 2},
        {"liveText", "Selectable Text", "text.viewfinder", "Selectable Text", 2},
        {"copyText", "Copy Text", "doc.on.clipboard", "Copy Text from Image", 2},
        {"resize", "Resize Image…", "arrow.up.left.and.arrow.down.right", "Resize Image…", 2},
        {"copy", "Copy", "doc.on.doc", "Copy", 3},
        {"save", "Save", "square.and.arrow.down", "Save", 3},
        {"share", "Share", "square.and.arrow.up", "Share", 3},
        {"dragThumbnail", "Thumbnail", "", "Drag to share", 3},
    }};
    return items;
}

std::optional<EditorToolbarItem> EditorToolbarItems::find(const QString& identifier)
{
    const auto& items = all();
    const auto it = std::find_if(items.begin(), items.end(), [&](const EditorToolbarItem& item) {
        return identifier == QLatin1String(item.identifier);
    });
    if (it == items.end()) return std::nullopt;
    return *it;
}

QStringList EditorToolbarItems::defaultIdentifiers()
{
    QStringList ids;
    for (const EditorToolbarItem& item : all())
        if (item.group != 2) ids << QString::fromLatin1(item.identifier);
    return ids;
}

QStringList EditorToolbarItems::arrangement(const platform::Defaults& settings)
{
    const QVariant stored = settings.object(keys::editorToolbarItems);
    if (stored.typeId() != QMetaType::QVariantList && stored.typeId() != QMetaType::QStringList)
        return defaultIdentifiers();
    const QStringList raw = settings.get(keys::editorToolbarItems);
    QStringList ids;
    for (const QString& id : raw)
        if (find(id) && !ids.contains(id)) ids << id;
    if (ids.isEmpty() && !raw.isEmpty()) return defaultIdentifiers(); // nothing we know
    return ids;
}

} // namespace snapkin
