#include "editor/EditorToolbar.h"

#include "editor/DocumentActions.h"
#include "editor/EditorWindowController.h"
#include "output/ExportService.h"
#include "output/FlattenService.h"
#include "ui/output/ExportDialogs.h"
#include "ui/output/FlattenAlert.h"

namespace snapkin {

EditorToolbarRoutes EditorToolbarRoutes::standard()
{
    EditorToolbarRoutes routes;
    routes.flatten = [](const AnnotationStore& store, QWidget* parent) {
        return flattenOrAlert(store, parent);
    };
    routes.copy = [](const QImage& image) {
        return ExportService::shared().copy(image, /*countsAsExport=*/true);
    };
    routes.save = [](ExportFormat format, AnnotationStore& store, QWidget* parent) {
        return ExportDialogs::saveFlattened(store, format, parent,
                                            DocumentActions::companionWriter());
    };
    routes.share = [](const QImage& image, const AnnotationStore& store, QWidget* button) {
        ExportDialogs::share(image, ExportDialogs::savedFile(store), button);
    };
    routes.dragData = [](const QImage& image) { return ExportService::shared().dragData(image); };
    routes.openBlank = [] { EditorWindowController::shared().openBlank(nullptr); };
    return routes;
}

} // namespace snapkin
