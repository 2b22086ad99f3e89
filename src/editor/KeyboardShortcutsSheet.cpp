#include "editor/KeyboardShortcutsSheet.h"

#include "editor/EditorPage.h"
#include "editor/EditorShortcuts.h"
#include "editor/EditorView.h"
#include "editor/EditorWindowController.h"
#include "editor/SheetStyle.h"
#include "editor/ToolSidebar.h"
#include "platform/L10n.h"
#include "platform/Symbols.h"

#include <QApplication>
#include <QEvent>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

namespace snapkin {

using platform::L10n;
using sheetstyle::TextStyle;

namespace {

constexpr int symbolWidth = 18;
constexpr QSize keyCapMinimum{22, 20};
constexpr double keyCapRadius = 5;

// Fills `box` with `heading` over the grid of shortcuts it returns.
QGridLayout* headedGrid(const QString& heading, QWidget* box)
{
    auto* stack = new QVBoxLayout(box);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(6);
    stack->addWidget(sheetstyle::label(heading, TextStyle::headline, box));
    auto* grid = new QGridLayout;
    stack->addLayout(grid);
    stack->addStretch(1);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(5);
    grid->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return grid;
}

// Keys in the monospace callout font, faded to `opacity` of the text colour.
QLabel* keysLabel(const QString& text, double opacity, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setFont(sheetstyle::monospaceFont(parent, TextStyle::callout));
    sheetstyle::fadeText(label, opacity);
    label->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    return label;
}

} // namespace

KeyCap::KeyCap(const QString& text, QWidget* parent) : QLabel(text, parent)
{
    QFont capFont = sheetstyle::monospaceFont(parent ? parent : this, TextStyle::callout);
    capFont.setWeight(QFont::DemiBold);
    setFont(capFont);
    setAlignment(Qt::AlignCenter);
    setContentsMargins(5, 1, 5, 1);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QSize KeyCap::minimumSizeHint() const
{
    return QLabel::minimumSizeHint().expandedTo(keyCapMinimum);
}

QSize KeyCap::sizeHint() const
{
    return QLabel::sizeHint().expandedTo(keyCapMinimum);
}

void KeyCap::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    // The edge is drawn inside the plate, so the plate's size is the key's whole size.
    const QRectF plate = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    painter.setPen(QPen(sheetstyle::faded(this, 0.22), 1));
    painter.setBrush(sheetstyle::faded(this, 0.08));
    painter.drawRoundedRect(plate, keyCapRadius, keyCapRadius);
    painter.end();
    QLabel::paintEvent(event);
}

KeyboardShortcutsSheet::KeyboardShortcutsSheet(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(L10n::text("Keyboard Shortcuts"));

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(20, 20, 20, 20);
    column->setSpacing(14);

    auto* heading = new QVBoxLayout;
    heading->setSpacing(4);
    heading->addWidget(sheetstyle::label(L10n::text("Keyboard Shortcuts"), TextStyle::title, this));
    m_hint = sheetstyle::label(
        L10n::format("Press a letter on the canvas to switch tools. The %@ shortcuts in the "
                     "Tools menu still work.",
                     toolMenuModifierText()),
        TextStyle::callout, this, true);
    m_hint->setWordWrap(true);
    heading->addWidget(m_hint);
    column->addLayout(heading);

    auto* columns = new QHBoxLayout;
    columns->setSpacing(28);
    columns->addWidget(toolsColumn(), 0, Qt::AlignTop);
    columns->addWidget(generalColumn(), 1, Qt::AlignTop);
    column->addLayout(columns);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    m_ok = new QPushButton(L10n::text("OK"), this);
    m_ok->setDefault(true);
    m_ok->setAutoDefault(true);
    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);
    buttons->addWidget(m_ok);
    column->addLayout(buttons);
    // The hint wraps, so the height is the one the content needs at the sheet's width.
    setFixedSize(sheetWidth,
                 hasHeightForWidth() ? heightForWidth(sheetWidth) : sizeHint().height());
    m_ok->setFocus();
}

QWidget* KeyboardShortcutsSheet::toolsColumn()
{
    auto* box = new QWidget(this);
    QGridLayout* grid = headedGrid(L10n::text("Tools"), box);
    const QList<QList<Tool>> groups = ToolSidebar::displayGroups();
    int row = 0;
    for (qsizetype g = 0; g < groups.size(); ++g) {
        if (g > 0) {
            // Spans the row, so it takes the width the tools give the grid and adds none.
            QFrame* rule = sheetstyle::rule(Qt::Horizontal, box);
            rule->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
            grid->addWidget(rule, row++, 0, 1, 4);
            m_dividers << rule;
        }
        for (Tool tool : groups[g]) {
            auto* symbol = new QLabel(box);
            symbol->setFixedWidth(symbolWidth);
            symbol->setAlignment(Qt::AlignCenter);
            symbol->setAccessibleName(QString()); // decoration only

            auto* name = new QLabel(label(tool), box);
            auto* key = new KeyCap(keyText(toolKey(tool)), box);
            auto* menu =
                keysLabel(keyText(toolMenuShortcut(tool)), sheetstyle::tertiaryOpacity, box);
            // Assistive technology reads the row from its label: the tool, then its keys.
            name->setAccessibleName(label(tool));
            name->setAccessibleDescription(
                L10n::format("%@, or %@ in the Tools menu", key->text(), menu->text()));

            grid->addWidget(symbol, row, 0);
            grid->addWidget(name, row, 1);
            grid->addWidget(key, row, 2, Qt::AlignLeft);
            grid->addWidget(menu, row, 3);
            m_toolRows.append(ToolRow{tool, symbol, name, key, menu});
            ++row;
        }
    }
    drawToolSymbols();
    return box;
}

void KeyboardShortcutsSheet::drawToolSymbols()
{
    const bool dark = ToolSidebar::isDarkAppearance(palette());
    const qreal dpr = devicePixelRatioF();
    for (const ToolRow& row : std::as_const(m_toolRows)) {
        const QImage glyph = platform::Symbols::image(outlineSymbol(row.tool, dark), 15,
                                                      sheetstyle::secondaryColor(this), dpr);
        row.symbol->setPixmap(QPixmap::fromImage(glyph));
    }
}

void KeyboardShortcutsSheet::changeEvent(QEvent* event)
{
    QDialog::changeEvent(event);
    if (event->type() == QEvent::PaletteChange) drawToolSymbols();
}

QWidget* KeyboardShortcutsSheet::generalColumn()
{
    auto* box = new QWidget(this);
    QGridLayout* grid = headedGrid(L10n::text("General"), box);
    int row = 0;
    for (const EditorShortcut& shortcut : generalShortcuts()) {
        auto* name = new QLabel(L10n::text(shortcut.title), box);
        auto* keys = keysLabel(keyText(shortcut.keys), sheetstyle::secondaryOpacity, box);
        name->setAccessibleDescription(keys->text());
        grid->addWidget(name, row, 0);
        grid->addWidget(keys, row, 1);
        m_generalRows.append(GeneralRow{name, keys});
        ++row;
    }
    grid->setColumnStretch(2, 1);
    return box;
}

void showKeyboardShortcuts(const EditorWindowController& editors)
{
    EditorPage* page = editors.page(QApplication::activeWindow());
    if (!page) {
        const QList<EditorPage*> pages = editors.pages();
        if (pages.isEmpty()) return;
        page = pages.last();
    }
    page->view()->setShowsShortcuts(true);
}

} // namespace snapkin
