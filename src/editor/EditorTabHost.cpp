#include "editor/EditorTabHost.h"

#include "editor/EditorPage.h"
#include "platform/L10n.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QIcon>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>

namespace snapkin {

using platform::L10n;

EditorTabHost::EditorTabHost(QWidget* parent) : QMainWindow(parent)
{
    setAttribute(Qt::WA_DeleteOnClose);
    m_tabs = new QTabWidget(this);
    m_tabs->setDocumentMode(true);
    m_tabs->setTabsClosable(true);
    m_tabs->setMovable(true);
    m_tabs->setTabBarAutoHide(true);
    m_tabs->tabBar()->setExpanding(true);
    setCentralWidget(m_tabs);

    m_newTab = new QToolButton(m_tabs);
    m_newTab->setAutoRaise(true);
    m_newTab->setIcon(QIcon::fromTheme(QStringLiteral("tab-new")));
    if (m_newTab->icon().isNull()) m_newTab->setText(QStringLiteral("+"));
    m_newTab->setToolTip(L10n::text("New Tab"));
    m_newTab->setAccessibleName(L10n::text("New Tab"));
    m_tabs->setCornerWidget(m_newTab, Qt::TopRightCorner);
    connect(m_newTab, &QToolButton::clicked, this, [this] { emit newTabRequested(this); });

    connect(m_tabs, &QTabWidget::tabCloseRequested, this, [this](int index) {
        if (auto* page = qobject_cast<EditorPage*>(m_tabs->widget(index))) page->close();
    });
    connect(m_tabs, &QTabWidget::currentChanged, this, [this] { showCurrentPage(); });
    updateTabBar();
}

EditorTabHost::~EditorTabHost() = default;

void EditorTabHost::addPage(EditorPage* page)
{
    const int index = m_tabs->addTab(page, page->title());
    connect(page, &EditorPage::presentationChanged, this, [this, page] {
        const int i = m_tabs->indexOf(page);
        if (i < 0) return;
        m_tabs->setTabText(i, page->title());
        m_tabs->setTabToolTip(i, page->windowTitleText());
        if (page == currentPage()) showCurrentPage();
    });
    connect(page, &EditorPage::closed, this, &EditorTabHost::pageClosed);
    m_tabs->setTabToolTip(index, page->windowTitleText());
    m_tabs->setCurrentIndex(index);
    updateTabBar();
    showCurrentPage();
}

QList<EditorPage*> EditorTabHost::pages() const
{
    QList<EditorPage*> result;
    for (int i = 0; i < m_tabs->count(); ++i) {
        if (auto* page = qobject_cast<EditorPage*>(m_tabs->widget(i))) result.append(page);
    }
    return result;
}

EditorPage* EditorTabHost::currentPage() const
{
    return qobject_cast<EditorPage*>(m_tabs->currentWidget());
}

void EditorTabHost::setCurrentPage(EditorPage* page)
{
    if (m_tabs->indexOf(page) >= 0) m_tabs->setCurrentWidget(page);
}

QSize EditorTabHost::pageAreaSize()
{
    // The tab widget places its pages when it handles its pending layout request.
    QCoreApplication::sendPostedEvents(m_tabs, QEvent::LayoutRequest);
    QCoreApplication::sendPostedEvents(this, QEvent::LayoutRequest);
    if (QWidget* current = m_tabs->currentWidget()) return current->size();
    return m_tabs->size();
}

void EditorTabHost::closeEvent(QCloseEvent* event)
{
    m_closingAll = true;
    const QList<EditorPage*> toClose = pages();
    for (EditorPage* page : toClose) {
        setCurrentPage(page);
        if (!page->close()) {
            m_closingAll = false;
            event->ignore();
            return;
        }
    }
    m_closingAll = false;
    event->accept();
}

void EditorTabHost::pageClosed(EditorPage* page)
{
    const int index = m_tabs->indexOf(page);
    if (index >= 0) m_tabs->removeTab(index);
    page->deleteLater();
    updateTabBar();
    // The last page gone, the window goes too; while the window itself is closing, its own
    // close finishes the job.
    if (m_tabs->count() == 0 && !m_closingAll) {
        QTimer::singleShot(0, this, [this] {
            if (m_tabs->count() == 0) close();
        });
    }
}

void EditorTabHost::showCurrentPage()
{
    EditorPage* page = currentPage();
    if (!page) return;
    setWindowTitle(page->windowTitleText());
    setWindowFilePath(page->documentPath());
}

void EditorTabHost::updateTabBar()
{
    // The "+" goes with the tab bar, which shows only from two pages on.
    m_newTab->setVisible(m_tabs->count() >= 2);
}

} // namespace snapkin
