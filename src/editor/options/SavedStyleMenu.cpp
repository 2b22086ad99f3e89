#include "editor/options/SavedStyleMenu.h"

#include "editor/options/OptionSymbols.h"
#include "model/AnnotationStore.h"
#include "model/SavedStyles.h"
#include "platform/L10n.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QVBoxLayout>

namespace snapkin {

namespace {

using platform::L10n;

class DialogNamePrompt : public NamePrompt {
public:
    std::optional<QString> askName(const QString& title, const QString& button,
                                   const QString& initial, QWidget* parent) override
    {
        QDialog dialog(parent ? parent->window() : nullptr);
        dialog.setWindowTitle(title);
        auto* column = new QVBoxLayout(&dialog);
        auto* message = new QLabel(title, &dialog);
        QFont bold = message->font();
        bold.setBold(true);
        message->setFont(bold);
        column->addWidget(message);
        auto* field = new QLineEdit(initial, &dialog);
        field->setPlaceholderText(L10n::text("Name"));
        field->setMinimumWidth(240);
        field->selectAll();
        column->addWidget(field);
        auto* buttons = new QDialogButtonBox(&dialog);
        QPushButton* accept = buttons->addButton(button, QDialogButtonBox::AcceptRole);
        buttons->addButton(L10n::text("Cancel"), QDialogButtonBox::RejectRole);
        accept->setDefault(true);
        QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
        QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
        column->addWidget(buttons);
        field->setFocus();
        if (dialog.exec() != QDialog::Accepted) return std::nullopt;
        const QString name = field->text().trimmed();
        if (name.isEmpty()) return std::nullopt;
        return name;
    }
};

} // namespace

bool SavedStyleMenu::hasMenu(Tool tool)
{
    return styleCategory(tool).has_value();
}

SavedStyleMenu::SavedStyleMenu(AnnotationStore& store, SavedStyles& library, Tool tool,
                               QWidget* parent)
    : QToolButton(parent), m_store(&store), m_library(library), m_tool(tool),
      m_dialogPrompt(std::make_unique<DialogNamePrompt>()), m_prompt(m_dialogPrompt.get())
{
    setAutoRaise(true);
    setPopupMode(QToolButton::InstantPopup);
    setToolButtonStyle(Qt::ToolButtonIconOnly);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setToolTip(L10n::text("Style"));
    setAccessibleName(L10n::text("Style"));
    setStyleSheet(QStringLiteral("QToolButton::menu-indicator { image: none; }"));
    setIcon(tintedSymbol(QStringLiteral("sparkles"), 14, palette().color(QPalette::WindowText)));
    setIconSize(QSize(14, 14));
    m_menu = new QMenu(this);
    connect(m_menu, &QMenu::aboutToShow, this, &SavedStyleMenu::rebuild);
    setMenu(m_menu);
    rebuild();
}

void SavedStyleMenu::rebuild()
{
    m_menu->clear();
    const QList<SavedStyle> styles = m_library.styles(m_tool);
    if (styles.isEmpty()) m_menu->addAction(L10n::text("No saved styles"))->setEnabled(false);
    for (const SavedStyle& style : styles) {
        // The item keeps the style as it was listed: applying it later uses that value.
        connect(m_menu->addAction(style.displayName()), &QAction::triggered, this, [this, style] {
            if (m_store) m_store->apply(style, m_tool);
        });
    }
    m_menu->addSeparator();
    const int count = int(styles.size());
    connect(m_menu->addAction(L10n::text("Save Current Style…")), &QAction::triggered, this,
            [this, count] { saveCurrent(count); });
    if (!styles.isEmpty()) {
        QMenu* rename = m_menu->addMenu(L10n::text("Rename"));
        QMenu* remove = m_menu->addMenu(L10n::text("Delete"));
        for (const SavedStyle& style : styles) {
            const QUuid id = style.id;
            const QString name = style.displayName();
            connect(rename->addAction(name), &QAction::triggered, this,
                    [this, id, name] { renameStyle(id, name); });
            connect(remove->addAction(name), &QAction::triggered, this,
                    [this, id] { m_library.remove(id); });
        }
    }
    m_menu->addSeparator();
    connect(m_menu->addAction(L10n::text("Restore Default Styles")), &QAction::triggered, this,
            [this] { m_library.restoreDefaults(); });
}

void SavedStyleMenu::saveCurrent(int count)
{
    if (!m_store) return;
    const QString proposed = label(m_tool) + QLatin1Char(' ') + QString::number(count + 1);
    const std::optional<QString> name =
        m_prompt->askName(L10n::text("Save Style"), L10n::text("Save"), proposed, this);
    if (!name || !m_store) return;
    QList<SavedStyle> styles = m_library.styles();
    styles.append(SavedStyle::capturing(*m_store, m_tool, *name));
    m_library.setStyles(styles);
    m_library.save();
}

void SavedStyleMenu::renameStyle(const QUuid& id, const QString& current)
{
    const std::optional<QString> name =
        m_prompt->askName(L10n::text("Rename Style"), L10n::text("Rename"), current, this);
    if (name) m_library.rename(id, *name);
}

} // namespace snapkin
