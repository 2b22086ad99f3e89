#pragma once

#include <QPointer>
#include <QString>
#include <QUrl>
#include <QWidget>

class QLabel;
class QToolButton;
class QPushButton;

namespace snapkin {

// Opens a link in the user's browser. The application owns the desktop one; tests pass a
// recording one.
class LinkOpening {
public:
    virtual ~LinkOpening() = default;
    virtual void open(const QUrl& url) = 0;
};

// Hands links to the desktop's browser.
class DesktopLinkOpening final : public LinkOpening {
public:
    void open(const QUrl& url) override;
};

// The floating confirmation of a copied web link: one row of the QR glyph, the message over
// the link's host, an "Open Link" button and a close button, on a dark rounded plate at most
// 520 points wide, centred 120 points above the bottom of the primary screen.
//
// Like the capture toast it floats above everything without a frame, is not managed by the
// window manager and never activates the application; unlike it, it takes clicks. One link
// toast exists at a time: a new one replaces the old. Each goes away on the first of "Open
// Link" (after the link was handed to the browser), the close button, 6 seconds, or the next
// toast; every dismissal also drops the pending timer, and a timer only ever closes the toast
// it was started for.
class LinkToast : public QWidget {
    Q_OBJECT
public:
    static constexpr int bottomOffset = 120;
    static constexpr int maxWidth = 520;
    static constexpr int defaultDismissMs = 6000;

    // Shows a toast for `url` with `message` (already localised) and announces message + ". "
    // + host; "Open Link" hands the link to `links` (which outlives the toast). Without a
    // screen nothing is shown.
    static void show(const QString& message, const QUrl& url, LinkOpening& links);
    // Takes the toast down and drops its timer; nothing when none is up.
    static void dismiss();
    // The toast on screen, or nullptr.
    static LinkToast* current();

    // What the toast shows for `url`: its host, percent-encoded; the whole URL without one.
    static QString hostText(const QUrl& url);
    // Where a toast of `size` goes on a screen of `screen` geometry.
    static QRect geometryFor(QSize size, const QRect& screen);

    // How long a toast stays (tests shorten it).
    static void setDismissDelay(int ms);

    QString message() const { return m_message; }
    QString host() const { return hostText(m_url); }
    QPushButton* openButton() const { return m_open; }
    QToolButton* closeButton() const { return m_close; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    LinkToast(const QString& message, const QUrl& url, LinkOpening& links);

    QString m_message;
    QUrl m_url;
    QLabel* m_host = nullptr;
    QPushButton* m_open = nullptr;
    QToolButton* m_close = nullptr;
    bool m_translucent = false;
};

} // namespace snapkin
