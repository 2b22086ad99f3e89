#include "editor/options/OptionGroups.h"

#include "editor/options/CropOptions.h"
#include "editor/options/EffectGroups.h"
#include "editor/options/StyleGroup.h"

namespace snapkin {

OptionGroups OptionGroups::standard(SavedStyles& library)
{
    OptionGroups groups;
    for (const Tool tool : EnumTable<Tool>::cases) {
        if (!StyleGroup::hasGroup(tool)) continue;
        groups.factory(tool) = [tool, &library](AnnotationStore& store, OptionsDensity density,
                                                QWidget* parent) -> QWidget* {
            return new StyleGroup(store, tool, density, library, parent);
        };
    }
    groups.factory(Tool::pixelate) = [](AnnotationStore& store, OptionsDensity,
                                        QWidget* parent) -> QWidget* {
        return new ObscureGroup(store, parent);
    };
    groups.factory(Tool::spotlight) = [](AnnotationStore& store, OptionsDensity,
                                         QWidget* parent) -> QWidget* {
        return new SpotlightGroup(store, parent);
    };
    groups.factory(Tool::sticker) = [](AnnotationStore& store, OptionsDensity,
                                       QWidget* parent) -> QWidget* {
        return new StickerGroup(store, parent);
    };
    groups.crop = [](AnnotationStore& store, OptionsDensity density, QWidget* parent) -> QWidget* {
        return new CropOptions(store, density, parent);
    };
    return groups;
}

} // namespace snapkin
