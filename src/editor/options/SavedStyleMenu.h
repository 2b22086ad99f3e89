#pragma once

#include "model/Tool.h"

#include <QPointer>
#include <QToolButton>

#include <functional>
#include <memory>
#include <optional>

class QMenu;

namespace snapkin {

class AnnotationStore;
class SavedStyles;

// Asks the user for a name. The menu's only dialog, behind an interface so tests answer it.
class NamePrompt {
public:
    virtual ~NamePrompt() = default;
    // The entered name, trimmed; none when cancelled or blank.
    virtual std::optional<QString> askName(const QString& title, const QString& button,
                                           const QString& initial, QWidget* parent) = 0;
};

// The "Style" pull-down of the style group: the saved styles of the tool's category (a click
// applies one), "Save Current Style…", "Rename" and "Delete" submenus, and "Restore Default
// Styles". The items are rebuilt from the library each time the menu opens. Only tools with a
// style category (arrow, text, rectangle, ellipse) have the menu: a style saved from any other
// tool could never be listed where it was saved.
class SavedStyleMenu : public QToolButton {
    Q_OBJECT
public:
    SavedStyleMenu(AnnotationStore& store, SavedStyles& library, Tool tool,
                   QWidget* parent = nullptr);

    static bool hasMenu(Tool tool);

    // Replaces the menu's name prompt, a modal dialog with one line field (not owned; it must
    // outlive the menu).
    void setNamePrompt(NamePrompt& prompt) { m_prompt = &prompt; }

    QMenu* styleMenu() const { return m_menu; }
    // Fills the menu from the library (done on every opening).
    void rebuild();
    // What the menu's actions do.
    void saveCurrent(int count);
    void renameStyle(const QUuid& id, const QString& current);

private:
    QPointer<AnnotationStore> m_store;
    SavedStyles& m_library;
    Tool m_tool;
    QMenu* m_menu = nullptr;
    std::unique_ptr<NamePrompt> m_dialogPrompt;
    NamePrompt* m_prompt = nullptr;
};

} // namespace snapkin
