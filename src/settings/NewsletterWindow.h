#pragma once

#include "settings/InfoWindowSupport.h"

#include <QPointer>
#include <QString>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QStackedWidget;

namespace snapkin {

class CaptureService;
class EditorWindowController;

class GlyphView;

// The newsletter sign-up form: a short pitch, the address, the consent checkbox with the
// privacy link, "Not now" and "Subscribe", and a thank-you state after a successful request.
//
// States: editing; sending (field, checkbox and both buttons disabled, a spinner in
// "Subscribe"); failed (editing again, the message in red until the next attempt); done (no way
// back). Return runs "Subscribe" only while it is enabled; Escape is "Not now". The title-bar
// close only hides the window, keeping the form and writing nothing. "Not now" (after
// postponing) and "Close" after subscribing emit finished().
class NewsletterWindow : public InfoWindow {
    Q_OBJECT
public:
    explicit NewsletterWindow(QWidget* parent = nullptr);

    // A text with exactly two non-empty pieces around at signs, a dot in the second and no dot
    // at its very end. Checked on the text as typed.
    static bool emailLooksValid(const QString& text);

    bool isSending() const { return m_sending; }
    bool isDone() const { return m_done; }
    QString errorText() const;

    QLineEdit* emailField() const { return m_email; }
    QCheckBox* consentBox() const { return m_consent; }
    QPushButton* subscribeButton() const { return m_subscribe; }
    QPushButton* notNowButton() const { return m_notNow; }
    QPushButton* closeButton() const { return m_close; }

    // How long a request may take; tests shorten it.
    void setRequestTimeout(int ms) { m_timeoutMs = ms; }

public slots:
    void subscribe();
    void reject() override; // Escape: "Not now" while it is enabled

protected:
    // The field's frame and fill are drawn again in the new palette's colours.
    void changeEvent(QEvent* event) override;

private:
    void updateControls();
    void styleField(bool valid);
    void notNow();

    QStackedWidget* m_pages = nullptr;
    GlyphView* m_symbol = nullptr;
    QLineEdit* m_email = nullptr;
    QCheckBox* m_consent = nullptr;
    QLabel* m_error = nullptr;
    QPushButton* m_notNow = nullptr;
    QPushButton* m_subscribe = nullptr;
    BusySpinner* m_spinner = nullptr;
    QPushButton* m_close = nullptr;
    bool m_sending = false;
    bool m_done = false;
    int m_timeoutMs;
};

// Keeps at most one newsletter window. `show()` brings the existing one back as it was left;
// `close()` postpones the next invitation by 30 days unless the user subscribed, closes the
// window and forgets it, so the next `show()` starts a fresh form.
class NewsletterWindowController {
public:
    // `capture` (none: no capture ever runs) is asked whether a capture is under way before the
    // invitation interrupts, and `editors` (none: no editor is open) whether one with unsaved
    // changes is on screen; both must outlive the controller.
    explicit NewsletterWindowController(const CaptureService* capture = nullptr,
                                        const EditorWindowController* editors = nullptr)
        : m_capture(capture), m_editors(editors)
    {
    }
    const CaptureService* captureService() const { return m_capture; }
    const EditorWindowController* editors() const { return m_editors; }

    void show();
    void close();
    NewsletterWindow* window() const { return m_window; }
    bool isVisible() const { return m_window && m_window->isVisible(); }

private:
    const CaptureService* m_capture = nullptr;
    const EditorWindowController* m_editors = nullptr;
    QPointer<NewsletterWindow> m_window;
};

} // namespace snapkin
