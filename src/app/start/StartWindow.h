#pragma once

#include "app/start/HistoryEntryActions.h"

#include <QMainWindow>

class QLabel;
class QLineEdit;
class QStackedWidget;

namespace snapkin {

class CaptureHistory;
class CaptureService;
class EditorWindowController;
class HistoryGridDelegate;
class HistoryGridModel;
class ExportDialogs;
class HistoryGridView;
class StartCaptureBar;

namespace platform {
class Defaults;
}

// The start window: the capture history to browse, search and reopen, with the capture
// commands on top. From top to bottom: the capture bar, the search field, a notice while the
// history is off, then the grid of captures grouped by day (or, with none, a short text naming
// the region capture's key; with a search that finds nothing, a line saying so).
//
// Ctrl+F goes to the search field and Escape empties it. The grid's cards open with Return or
// a double click, are removed with Delete after one question, copied with Ctrl+C and offer
// Open, Copy Image, Save As…, Show in File Manager and Delete in their context menu.
//
// The window knows nothing of where it sits in the application: StartWindowController makes
// it, places it and closes it when an editor opens.
class StartWindow final : public QMainWindow {
    Q_OBJECT
public:
    // In the order of the stacked pages.
    enum class Page { grid, empty, noMatches };

    // The editors (where entries open), history, export service and settings must outlive the
    // window.
    StartWindow(EditorWindowController& editors, CaptureHistory& history, ExportDialogs& exports,
                CaptureService& capture, platform::Defaults& settings,
                HistoryEntryActions::Confirm confirm = HistoryEntryActions::defaultConfirm(),
                QWidget* parent = nullptr);
    ~StartWindow() override;

    HistoryGridView* grid() const { return m_grid; }
    HistoryGridModel* model() const { return m_model; }
    QLineEdit* searchField() const { return m_search; }
    StartCaptureBar* captureBar() const { return m_captureBar; }
    QWidget* offNotice() const { return m_offNotice; }
    QLabel* emptyText() const { return m_emptyText; }
    HistoryEntryActions& actions() { return m_actions; }
    Page page() const;
    // The size the window first opens at.
    QSize preferredSize() const;

    // The context menu of `ids` (made, not shown; the caller owns it).
    QMenu* makeMenu(const QList<QUuid>& ids);

signals:
    void closed();
    // "History Settings…" in the notice shown while the history is off.
    void historySettingsRequested();

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* buildSearchRow();
    QWidget* buildOffNotice();
    QWidget* buildEmptyPage();
    void updateState();
    void openEntry(const QUuid& id);
    void removeEntries(const QList<QUuid>& ids);

    CaptureHistory& m_history;
    platform::Defaults& m_settings;
    HistoryEntryActions m_actions;
    StartCaptureBar* m_captureBar = nullptr;
    QLineEdit* m_search = nullptr;
    QWidget* m_offNotice = nullptr;
    QStackedWidget* m_pages = nullptr;
    QLabel* m_emptyText = nullptr;
    QLabel* m_noMatches = nullptr;
    HistoryGridModel* m_model = nullptr;
    HistoryGridView* m_grid = nullptr;
    HistoryGridDelegate* m_delegate = nullptr;
};

} // namespace snapkin
