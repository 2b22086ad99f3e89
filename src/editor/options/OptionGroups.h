#pragma once

#include "model/Tool.h"

#include <array>
#include <cstddef>
#include <functional>

class QWidget;

namespace snapkin {

class AnnotationStore;
class SavedStyles;

// How much room the options bar has: `full` shows controls with their text where they have
// one, `compact` and `overflow` are narrower forms. Each group decides what a density changes
// for it.
enum class OptionsDensity { full, compact, overflow };

// Builds the controls of one group for one store at one density, as a single widget parented
// to `parent` (usually a row of controls). The bar builds a group once for each density when
// what it shows changes, keeps the three, and shows the one that fits; a group must therefore
// follow the store through its signals rather than expect to be rebuilt, and must cope with
// its sibling densities being alive (hidden) at the same time.
using OptionGroupFactory =
    std::function<QWidget*(AnnotationStore& store, OptionsDensity density, QWidget* parent)>;

// The option groups that a contextual options bar shows: one factory per tool, plus one for
// the crop controls shown while a crop is in progress. A tool without a factory shows an empty
// row.
//
// The frame tool's bar and the image tool's hint belong to the options bar itself; a factory
// set for those two tools is ignored. The select tool never reaches a factory: the bar shows
// the selected annotation's tool instead.
struct OptionGroups {
    std::array<OptionGroupFactory, EnumTable<Tool>::cases.size()> tools;
    OptionGroupFactory crop;

    // The editor's own groups: styles (whose menus list and save to `library`, which must
    // outlive every group made), obscuring, spotlight, stickers and the crop controls.
    static OptionGroups standard(SavedStyles& library);

    OptionGroupFactory& factory(Tool tool) { return tools[static_cast<std::size_t>(tool)]; }
    const OptionGroupFactory& factory(Tool tool) const
    {
        return tools[static_cast<std::size_t>(tool)];
    }
};

} // namespace snapkin
