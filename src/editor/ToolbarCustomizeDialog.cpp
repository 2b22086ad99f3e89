#include "editor/ToolbarCustomizeDialog.h"

#include "editor/EditorToolbarItems.h"
#include "platform/Defaults.h"
#include "platform/L10n.h"
#include "platform/Symbols.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace snapkin {

using platform::L10n;

ToolbarCustomizeDialog::ToolbarCustomizeDialog(QWidget* parent)
    : QDialog(parent), m_list(new QListWidget(this))
{
    setWindowTitle(L10n::text("Customize Toolbar"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(
        L10n::text("Choose the items of the toolbar and drag them into the order you want."),
        this));
    m_list->setDragDropMode(QAbstractItemView::InternalMove);
    m_list->setDefaultDropAction(Qt::MoveAction);
    m_list->setAccessibleName(L10n::text("Toolbar items"));
    layout->addWidget(m_list);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* restore =
        buttons->addButton(L10n::text("Restore Defaults"), QDialogButtonBox::ResetRole);
    buttons->addButton(L10n::text("Cancel"), QDialogButtonBox::RejectRole);
    QPushButton* done = buttons->addButton(L10n::text("Done"), QDialogButtonBox::AcceptRole);
    done->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(restore, &QPushButton::clicked, this,
            [this] { showArrangement(EditorToolbarItems::defaultIdentifiers()); });
    layout->addWidget(buttons);

    showArrangement(EditorToolbarItems::arrangement(platform::Defaults::standard()));
}

void ToolbarCustomizeDialog::showArrangement(const QStringList& shown)
{
    m_list->clear();
    QStringList order = shown;
    for (const EditorToolbarItem& item : EditorToolbarItems::all())
        if (!order.contains(QLatin1String(item.identifier)))
            order << QString::fromLatin1(item.identifier);
    for (const QString& id : order) {
        const EditorToolbarItem item = *EditorToolbarItems::find(id);
        auto* row = new QListWidgetItem(L10n::text(item.title), m_list);
        if (*item.symbol) row->setIcon(platform::Symbols::icon(item.symbol));
        row->setData(Qt::UserRole, id);
        row->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable |
                      Qt::ItemIsDragEnabled);
        row->setCheckState(shown.contains(id) ? Qt::Checked : Qt::Unchecked);
    }
}

void ToolbarCustomizeDialog::accept()
{
    // The checked identifiers in list order.
    QStringList ids;
    for (int i = 0; i < m_list->count(); ++i) {
        const QListWidgetItem* row = m_list->item(i);
        if (row->checkState() == Qt::Checked) ids << row->data(Qt::UserRole).toString();
    }
    platform::Defaults::standard().set(keys::editorToolbarItems, ids);
    QDialog::accept();
}

} // namespace snapkin
