#include "app/start/StartWindow.h"

#include "app/start/HistoryGridDelegate.h"
#include "app/start/HistoryGridModel.h"
#include "app/start/HistoryGridView.h"
#include "app/start/StartCaptureBar.h"
#include "capture/hotkeys/CaptureHotKey.h"
#include "editor/SheetStyle.h"
#include "history/CaptureHistory.h"
#include "platform/Defaults.h"
#include "platform/L10n.h"
#include "ui/output/ExportDialogs.h"

#include <QAction>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QShortcut>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace snapkin {

using platform::L10n;

namespace {

QLabel* wrappedLabel(const QString& text, bool secondary)
{
    auto* label = new QLabel(text);
    label->setWordWrap(true);
    label->setTextFormat(Qt::PlainText);
    // Faded in step with the palette, so a live switch of the appearance re-colours it.
    if (secondary) sheetstyle::fadeText(label, 0.65);
    return label;
}

} // namespace

StartWindow::StartWindow(EditorWindowController& editors, CaptureHistory& history,
                         ExportDialogs& exports, CaptureService& capture,
                         platform::Defaults& settings, HistoryEntryActions::Confirm confirm,
                         QWidget* parent)
    : QMainWindow(parent), m_history(history), m_settings(settings),
      m_actions(editors, history, exports, std::move(confirm))
{
    setObjectName(QStringLiteral("startWindow"));
    setWindowTitle(L10n::text("Start Window"));
    setMinimumSize(560, 420);

    auto* central = new QWidget;
    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    m_captureBar = new StartCaptureBar(capture);
    column->addWidget(m_captureBar);
    column->addWidget(buildSearchRow());
    column->addWidget(buildOffNotice());

    m_pages = new QStackedWidget;
    m_grid = new HistoryGridView(exports.exports());
    m_model = new HistoryGridModel(history, this);
    m_grid->setModel(m_model);
    m_delegate = new HistoryGridDelegate(*m_grid, history.thumbnails(), this);
    m_grid->setItemDelegate(m_delegate);
    m_grid->setDragImage([this](const QUuid& id) { return m_actions.finishedImage(id, this); });
    m_pages->addWidget(m_grid);
    m_pages->addWidget(buildEmptyPage());
    m_noMatches = wrappedLabel({}, true);
    m_noMatches->setAlignment(Qt::AlignCenter);
    m_pages->addWidget(m_noMatches);
    column->addWidget(m_pages, 1);
    setCentralWidget(central);

    connect(m_grid, &HistoryGridView::openRequested, this, &StartWindow::openEntry);
    connect(m_grid, &HistoryGridView::deleteRequested, this, &StartWindow::removeEntries);
    connect(m_grid, &HistoryGridView::copyRequested, this,
            [this](const QUuid& id) { m_actions.copyImage(id, this); });
    connect(m_grid, &HistoryGridView::menuRequested, this,
            [this](const QList<QUuid>& ids, const QPoint& at) {
                QMenu* menu = makeMenu(ids);
                menu->setAttribute(Qt::WA_DeleteOnClose);
                menu->popup(at);
            });
    connect(m_model, &QAbstractItemModel::modelReset, this, &StartWindow::updateState);
    connect(&settings, &platform::Defaults::valueChanged, this, [this](const QString& key) {
        if (key == keys::historyEnabled || keys::isCaptureHotKey(key)) updateState();
    });

    auto* find = new QShortcut(QKeySequence::Find, this);
    connect(find, &QShortcut::activated, this, [this] {
        m_search->setFocus(Qt::ShortcutFocusReason);
        m_search->selectAll();
    });
    updateState();
}

StartWindow::~StartWindow() = default;

QWidget* StartWindow::buildSearchRow()
{
    auto* row = new QWidget;
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(16, 4, 16, 8);
    m_search = new QLineEdit;
    m_search->setObjectName(QStringLiteral("startSearch"));
    m_search->setPlaceholderText(L10n::text("Search by title, date or text in the image"));
    m_search->setClearButtonEnabled(true);
    m_search->addAction(QIcon::fromTheme(QStringLiteral("edit-find-symbolic"),
                                         QIcon::fromTheme(QStringLiteral("edit-find"))),
                        QLineEdit::LeadingPosition);
    m_search->installEventFilter(this);
    connect(m_search, &QLineEdit::textChanged, this, [this](const QString& text) {
        m_model->setQuery(text);
        updateState();
    });
    layout->addWidget(m_search);
    return row;
}

QWidget* StartWindow::buildOffNotice()
{
    m_offNotice = new QWidget;
    m_offNotice->setObjectName(QStringLiteral("historyOffNotice"));
    auto* layout = new QHBoxLayout(m_offNotice);
    layout->setContentsMargins(16, 2, 16, 10);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(4);
    texts->addWidget(wrappedLabel(
        L10n::text("Each capture is saved on this computer with its annotations, so you can "
                   "reopen it from the start window and keep editing. Nothing leaves your "
                   "computer."),
        true));
    texts->addWidget(wrappedLabel(
        L10n::text(
            "New captures aren't added. The ones already in the history stay until you empty it."),
        false));
    layout->addLayout(texts, 1);
    auto* settingsButton = new QPushButton(L10n::text("History Settings…"));
    settingsButton->setObjectName(QStringLiteral("historySettings"));
    connect(settingsButton, &QPushButton::clicked, this, &StartWindow::historySettingsRequested);
    layout->addWidget(settingsButton, 0, Qt::AlignVCenter);
    return m_offNotice;
}

QWidget* StartWindow::buildEmptyPage()
{
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    layout->addStretch(1);
    auto* title = new QLabel(L10n::text("No captures yet"));
    QFont font = title->font();
    font.setBold(true);
    font.setPointSizeF(font.pointSizeF() * 1.3);
    title->setFont(font);
    title->setAlignment(Qt::AlignCenter);
    layout->addWidget(title);
    m_emptyText = wrappedLabel({}, true);
    m_emptyText->setObjectName(QStringLiteral("startEmptyText"));
    m_emptyText->setAlignment(Qt::AlignCenter);
    layout->addWidget(m_emptyText);
    layout->addStretch(2);
    return page;
}

QSize StartWindow::preferredSize() const
{
    // Wide enough for the capture bar's buttons in the interface language.
    return {std::max(1000, m_captureBar->sizeHint().width()), 700};
}

StartWindow::Page StartWindow::page() const
{
    return static_cast<Page>(m_pages->currentIndex());
}

void StartWindow::updateState()
{
    m_offNotice->setVisible(!m_settings.get(keys::historyEnabled));
    if (m_model->historyCount() == 0) {
        const QString keys = CaptureHotKey::load(CaptureAction::region).displayString();
        m_emptyText->setText(L10n::format(
            "Press %@ to capture a region. Every capture is kept here, so you can find it, "
            "reopen it and keep editing.",
            keys));
        m_pages->setCurrentIndex(int(Page::empty));
    } else if (m_model->shownEntryCount() == 0) {
        m_noMatches->setText(L10n::format("No captures match “%@”.", m_search->text().trimmed()));
        m_pages->setCurrentIndex(int(Page::noMatches));
    } else {
        m_pages->setCurrentIndex(int(Page::grid));
    }
}

QMenu* StartWindow::makeMenu(const QList<QUuid>& ids)
{
    auto* menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("startEntryMenu"));
    const bool one = ids.size() == 1;
    const QUuid first = ids.value(0);
    // The items for one card only.
    menu->addAction(L10n::text("Open"), this, [this, first] { openEntry(first); });
    menu->addAction(L10n::text("Copy Image"), this,
                    [this, first] { m_actions.copyImage(first, this); });
    menu->addAction(L10n::text("Save As…"), this, [this, first] { m_actions.saveAs(first, this); });
    menu->addAction(L10n::text("Show in File Manager"), this,
                    [this, first] { m_actions.showInFileManager(first); });
    for (QAction* item : menu->actions())
        item->setEnabled(one);
    menu->addSeparator();
    menu->addAction(L10n::text("Delete"), this, [this, ids] { removeEntries(ids); });
    return menu;
}

void StartWindow::openEntry(const QUuid& id)
{
    m_actions.open(id, this);
}

void StartWindow::removeEntries(const QList<QUuid>& ids)
{
    const QModelIndex current = m_grid->currentIndex();
    const int row = current.isValid() ? current.row() : 0;
    if (!m_actions.remove(ids, this)) return;
    m_model->reload();
    // The keyboard goes on from where the removed cards were.
    const QModelIndex next = m_grid->firstCard(std::min(row, m_model->rowCount() - 1), -1);
    if (next.isValid()) m_grid->setCurrentIndex(next);
}

bool StartWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_search && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        switch (key->key()) {
        case Qt::Key_Escape:
            if (!m_search->text().isEmpty()) {
                m_search->clear();
                return true;
            }
            break;
        case Qt::Key_Down:
            // From the search field into the results.
            m_grid->setFocus(Qt::TabFocusReason);
            if (!m_model->entryAt(m_grid->currentIndex())) m_grid->selectFirst();
            return true;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            // Opens the first card found, as the grid's Return would.
            if (m_model->shownEntryCount() > 0) {
                if (!m_model->entryAt(m_grid->currentIndex())) m_grid->selectFirst();
                if (const auto id = m_grid->currentID()) openEntry(*id);
            }
            return true;
        default:
            break;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void StartWindow::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    // The day may have changed since the grid was built ("Today" becomes "Yesterday").
    m_model->reloadIfTheDayChanged();
    // Typing searches at once.
    m_search->setFocus(Qt::ActiveWindowFocusReason);
}

void StartWindow::keyPressEvent(QKeyEvent* event)
{
    // Escape anywhere in the window empties the search.
    if (event->key() == Qt::Key_Escape && !m_search->text().isEmpty()) {
        m_search->clear();
        return;
    }
    QMainWindow::keyPressEvent(event);
}

void StartWindow::closeEvent(QCloseEvent* event)
{
    QMainWindow::closeEvent(event);
    if (event->isAccepted()) emit closed();
}

} // namespace snapkin
