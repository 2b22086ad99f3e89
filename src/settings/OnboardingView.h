#pragma once

#include "settings/SettingsHooks.h"

#include <QFuture>
#include <QKeySequence>
#include <QWidget>

#include <functional>

class QLabel;
class QPushButton;
class QStackedWidget;
class QTimer;
class QVBoxLayout;

namespace snapkin {

class GlyphView;
class StatusBadge;
class PageDots;

// The content of the welcome window: a header, two pages shown one at a time (whether the
// screen can be captured here, then a first capture) and a footer with Back, Next or Start and
// the page dots.
//
// The screen check is the full one (an X11 session and a real grab), run when the first page
// is first shown; Back never runs it again, "Re-check" does. While the screen is readable the
// check runs again every 2 seconds, so a session that loses access is noticed; "not available"
// and "checking" wait for "Re-check". The watch pauses while the window is hidden. Several checks
// may be under way at once: the one that ends last decides.
//
// Only the current page's controls are live (the other page is hidden), so Return reaches
// "Next" on the first page and "Try it now" on the second.
class OnboardingView : public QWidget {
    Q_OBJECT
public:
    enum class Access { checking, ready, unavailable };
    using AccessCheck = std::function<QFuture<bool>()>;

    static constexpr int pageCount = 2;
    static constexpr int recheckIntervalMs = 2000;

    // `pasteKeys` is the shortcut that opens a pasted screenshot, shown in the advice; `shell`
    // opens the start window from the last page's link (none: no link).
    OnboardingView(AccessCheck check, QKeySequence pasteKeys, SettingsHooks shell = {},
                   QWidget* parent = nullptr);

    int step() const { return m_step; }
    void setStep(int step);
    Access access() const { return m_access; }

    QPushButton* backButton() const { return m_back; }
    QPushButton* nextButton() const { return m_next; }
    QPushButton* startButton() const { return m_start; }
    QPushButton* recheckButton() const { return m_recheck; }
    QLabel* adviceLabel() const { return m_advice; }
    QWidget* alternativeRow() const { return m_alternative; }
    StatusBadge* badge() const { return m_badge; }
    QWidget* pageDots() const;

signals:
    // "Start" on the last page.
    void finishRequested();
    // "Try it now": the window should go, then a region capture start.
    void firstCaptureRequested();

protected:
    // The watch runs only while the view is on screen: a closed window that is kept does not
    // keep reading the screen.
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    // "Checking" is shown in the secondary text colour of the palette of the moment.
    void changeEvent(QEvent* event) override;

private:
    QWidget* buildHeader();
    void buildAccessPage(QVBoxLayout* layout, const QKeySequence& pasteKeys);
    void buildCapturePage(QVBoxLayout* layout, const SettingsHooks& shell);
    QWidget* buildFooter();
    void probeOnce();
    void recheck();
    void tick();
    void setAccess(Access access);
    void updatePage();

    AccessCheck m_check;
    int m_step = 0;
    Access m_access = Access::checking;
    bool m_probedForReal = false;
    bool m_tickProbing = false;
    QTimer* m_timer = nullptr;

    QStackedWidget* m_pages = nullptr;
    StatusBadge* m_badge = nullptr;
    QLabel* m_advice = nullptr;
    QPushButton* m_recheck = nullptr;
    QWidget* m_alternative = nullptr;
    QLabel* m_pressHint = nullptr;
    QPushButton* m_try = nullptr;
    QPushButton* m_back = nullptr;
    QPushButton* m_next = nullptr;
    QPushButton* m_start = nullptr;
    PageDots* m_dots = nullptr;
};

// The check's state as a capsule of symbol and text in the state's colour.
class StatusBadge : public QWidget {
public:
    explicit StatusBadge(QWidget* parent = nullptr);
    void set(const QString& symbol, const QString& text, const QColor& color);
    QString text() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    GlyphView* m_glyph = nullptr;
    QLabel* m_text = nullptr;
    QColor m_color;
};

} // namespace snapkin
