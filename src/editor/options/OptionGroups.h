#pragma once

#include "model/Tool.h"

#include <functional>

class QWidget;

namespace snapkin {

class AnnotationStore;

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

// The registry of option groups that the contextual options bar shows. One factory per tool,
// plus one for the crop controls shown while a crop is in progress. Install them once at
// start-up, before editor windows open; a bar built before a factory is installed keeps what
// it built until its content changes. A tool without a factory shows an empty row.
//
// The frame tool's bar and the image tool's hint belong to the options bar itself; a factory
// registered for those two tools is ignored. The select tool never reaches a factory: the bar
// shows the selected annotation's tool instead.
class OptionGroups {
public:
    OptionGroups() = delete;

    // Installs the factory for `tool` and answers the one it replaces (empty when none), so a
    // test can put the previous one back. An empty factory removes the tool's group.
    static OptionGroupFactory setFactory(Tool tool, OptionGroupFactory factory);
    static OptionGroupFactory setCropFactory(OptionGroupFactory factory);

    // The installed factory; empty when there is none.
    static const OptionGroupFactory& factory(Tool tool);
    static const OptionGroupFactory& cropFactory();
};

} // namespace snapkin
