#include "editor/options/EditorOptions.h"

#include "editor/CollageService.h"
#include "editor/EditorViewHooks.h"
#include "editor/crop/CropView.h"
#include "editor/options/CropOptions.h"
#include "editor/options/EffectGroups.h"
#include "editor/options/OptionGroups.h"
#include "editor/options/StyleGroup.h"

#include <QApplication>

namespace snapkin {

void installEditorOptions()
{
    OptionGroups::setFactory(
        Tool::pixelate, [](AnnotationStore& store, OptionsDensity, QWidget* parent) -> QWidget* {
            return new ObscureGroup(store, parent);
        });
    OptionGroups::setFactory(
        Tool::spotlight, [](AnnotationStore& store, OptionsDensity, QWidget* parent) -> QWidget* {
            return new SpotlightGroup(store, parent);
        });
    OptionGroups::setFactory(
        Tool::sticker, [](AnnotationStore& store, OptionsDensity, QWidget* parent) -> QWidget* {
            return new StickerGroup(store, parent);
        });
    for (const Tool tool : EnumTable<Tool>::cases) {
        if (!StyleGroup::hasGroup(tool)) continue;
        OptionGroups::setFactory(
            tool,
            [tool](AnnotationStore& store, OptionsDensity density, QWidget* parent) -> QWidget* {
                return new StyleGroup(store, tool, density, parent);
            });
    }
    OptionGroups::setCropFactory(
        [](AnnotationStore& store, OptionsDensity density, QWidget* parent) -> QWidget* {
            return new CropOptions(store, density, parent);
        });
    EditorViewHooks::shared().cropView = [](AnnotationStore& store, EditorZoom& zoom,
                                            QWidget* parent) -> QWidget* {
        return new CropView(store, zoom, parent);
    };
    EditorViewHooks::shared().newCollage = [](EditorViewHooks::CollageLayout layout) {
        CollageService::createFromPanel(layout == EditorViewHooks::CollageLayout::stacked
                                            ? CollageLayout::stacked
                                            : CollageLayout::sideBySide,
                                        QApplication::activeWindow());
    };
}

} // namespace snapkin
