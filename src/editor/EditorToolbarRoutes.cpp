#include "editor/EditorToolbar.h"

#include "editor/DocumentActions.h"
#include "editor/EditorWindowController.h"
#include "output/ExportService.h"
#include "ui/output/ExportDialogs.h"
#include "ui/output/FlattenAlert.h"

namespace snapkin {

EditorToolbarRoutes EditorToolbarRoutes::standard(ExportDialogs& exports,
                                                  EditorWindowController* editors)
{
    EditorToolbarRoutes routes;
    routes.flatten = flattenOrAlert;
    routes.copy = [](const QImage& image) {
        return ExportService::copy(image, /*countsAsExport=*/true);
    };
    routes.save = [&exports](ExportFormat format, AnnotationStore& store, QWidget* parent) {
        return exports.saveFlattened(store, format, parent, DocumentActions::companionWriter());
    };
    routes.share = [](const QImage& image, const AnnotationStore& store, QWidget* button) {
        ExportDialogs::share(image, ExportDialogs::savedFile(store), button);
    };
    routes.dragData = [&exports](const QImage& image) { return exports.exports().dragData(image); };
    if (editors) routes.openBlank = [editors] { editors->openBlank(nullptr); };
    return routes;
}

} // namespace snapkin
