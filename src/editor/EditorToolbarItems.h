#pragma once

#include <QString>
#include <QStringList>

#include <array>
#include <optional>

namespace snapkin {

namespace platform {
class Defaults;
}

// The items an editor toolbar can hold, by the identifiers under which the user's arrangement
// is kept. Group 1 sits at the leading edge; groups 2 and 3 after a flexible space. Group 2
// items are offered only through "Customize Toolbar…".
struct EditorToolbarItem {
    const char* identifier;
    const char* title;
    const char* symbol;
    const char* help;
    int group;
};

struct EditorToolbarItems {
    static const std::array<EditorToolbarItem, 14>& all();
    static std::optional<EditorToolbarItem> find(const QString& identifier);
    // newCapture, undo, redo, copy, save, share, dragThumbnail.
    static QStringList defaultIdentifiers();

    // The stored arrangement: known identifiers in the stored order, each once; the default
    // arrangement when nothing (or nothing usable) is stored. An empty stored list is a
    // toolbar the user emptied and stays empty.
    static QStringList arrangement(const platform::Defaults& settings);
};

} // namespace snapkin
