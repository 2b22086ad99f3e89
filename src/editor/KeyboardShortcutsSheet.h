#pragma once

#include "model/Tool.h"

#include <QDialog>
#include <QLabel>
#include <QList>

class QPushButton;

namespace snapkin {

class EditorWindowController;

// One key drawn as a key cap: the text on a faint rounded plate with a hairline edge.
class KeyCap : public QLabel {
    Q_OBJECT
public:
    explicit KeyCap(const QString& text, QWidget* parent = nullptr);
    QSize minimumSizeHint() const override;
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
};

// The "Keyboard Shortcuts" sheet of an editor page: the tool letters, grouped as the tool
// sidebar groups them, each with its Tools-menu shortcut, and the general shortcuts. Every key
// text comes from the shortcut table (EditorShortcuts.h). Opened window-modal over the page;
// "OK" (also Return) closes it.
class KeyboardShortcutsSheet : public QDialog {
    Q_OBJECT
public:
    static constexpr int sheetWidth = 660;

    // The cells of one tool row.
    struct ToolRow {
        Tool tool;
        QLabel* symbol;
        QLabel* label;
        KeyCap* key;
        QLabel* menuKeys;
    };
    struct GeneralRow {
        QLabel* label;
        QLabel* keys;
    };

    explicit KeyboardShortcutsSheet(QWidget* parent = nullptr);

    const QList<ToolRow>& toolRows() const { return m_toolRows; }
    const QList<GeneralRow>& generalRows() const { return m_generalRows; }
    // The rules between tool groups.
    const QList<QWidget*>& dividers() const { return m_dividers; }
    QLabel* hint() const { return m_hint; }
    QPushButton* okButton() const { return m_ok; }

protected:
    // The tools' symbols are drawn again in the new palette's colours.
    void changeEvent(QEvent* event) override;

private:
    QWidget* toolsColumn();
    void drawToolSymbols();
    QWidget* generalColumn();

    QList<ToolRow> m_toolRows;
    QList<GeneralRow> m_generalRows;
    QList<QWidget*> m_dividers;
    QLabel* m_hint = nullptr;
    QPushButton* m_ok = nullptr;
};

// The Help menu's "Keyboard Shortcuts": opens the sheet on the page of `editors` in the active
// window, or else on the newest page; with no editor open it does nothing.
void showKeyboardShortcuts(const EditorWindowController& editors);

} // namespace snapkin
