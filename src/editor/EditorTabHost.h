#pragma once

#include <QList>
#include <QMainWindow>

class QTabWidget;
class QToolButton;

namespace snapkin {

class EditorPage;

// A top-level editor window holding one or more EditorPages as tabs. The tab bar shows only
// from two pages on; its "+" button opens a blank canvas as a new tab here. The window's title
// and file path are those of the current page.
//
// Closing a tab asks only that page. Closing the window asks page by page, in tab order, and
// stops at the first page that stays open; the pages that agreed are closed by then. When the
// last page has gone the window closes itself (and is deleted).
class EditorTabHost : public QMainWindow {
    Q_OBJECT
public:
    explicit EditorTabHost(QWidget* parent = nullptr);
    ~EditorTabHost() override;

    void addPage(EditorPage* page);
    QList<EditorPage*> pages() const;
    int pageCount() const { return m_tabs->count(); }
    EditorPage* currentPage() const;
    void setCurrentPage(EditorPage* page);

    QTabWidget* tabs() const { return m_tabs; }
    QToolButton* newTabButton() const { return m_newTab; }

    // The size a page has in this window once pending layout has been done.
    QSize pageAreaSize();

signals:
    // The "+" button: a blank canvas is wanted as a tab of this window.
    void newTabRequested(snapkin::EditorTabHost* host);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void pageClosed(EditorPage* page);
    void showCurrentPage();
    void updateTabBar();

    QTabWidget* m_tabs = nullptr;
    QToolButton* m_newTab = nullptr;
    bool m_closingAll = false;
};

} // namespace snapkin
