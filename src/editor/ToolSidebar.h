#pragma once

#include "model/Tool.h"

#include <QList>
#include <QWidget>

#include <map>

class QScrollArea;

namespace snapkin {

class AnnotationStore;
class IconButton;

// The circle at the foot of the tool sidebar that shows the colour new annotations get. It
// only shows: it has no action. Its accessible value is the colour's readable name.
class ColorSwatch : public QWidget {
    Q_OBJECT
public:
    static constexpr int diameter = 22;

    explicit ColorSwatch(QWidget* parent = nullptr);

    void setColorHex(const QString& hex);
    const QString& colorHex() const { return m_hex; }
    // "Red", "Custom color", … (what assistive technology reads as the value).
    QString colorName() const;

    QSize sizeHint() const override { return {diameter, diameter}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_hex;
};

// The narrow tool palette at the left of every editor: each tool as an icon button, in five
// groups split by short dividers, scrolling when the window is too short, with the colour
// swatch kept below. A click makes the tool current through the store (also when it already
// is, which clears the selection). It keeps no state: the highlight and the swatch follow the
// store's tool and colour.
class ToolSidebar : public QWidget {
    Q_OBJECT
public:
    static constexpr int sidebarWidth = 60;
    static constexpr QSize buttonSize{38, 34};
    static constexpr int dividerWidth = 28;

    // `store` must outlive the sidebar.
    explicit ToolSidebar(AnnotationStore& store, QWidget* parent = nullptr);

    // The tools in palette groups; a tool that no fixed group names comes in a last group, so
    // a new tool is never missing from the palette.
    static QList<QList<Tool>> displayGroups();
    // Whether the palette looks dark (Qt offers no colour-scheme setting to ask).
    static bool isDarkAppearance(const QPalette& palette);
    // "Ellipse (O)".
    static QString helpText(Tool tool);

    IconButton* button(Tool tool) const;
    ColorSwatch* swatch() const { return m_swatch; }
    QScrollArea* toolColumn() const { return m_scroll; }
    // The short dividers between groups.
    QList<QWidget*> groupDividers() const { return m_dividers; }

protected:
    void changeEvent(QEvent* event) override;

private:
    void showTool(Tool tool);
    void updateSymbols();

    AnnotationStore& m_store;
    std::map<Tool, IconButton*> m_buttons;
    QList<QWidget*> m_dividers;
    QScrollArea* m_scroll = nullptr;
    ColorSwatch* m_swatch = nullptr;
};

} // namespace snapkin
