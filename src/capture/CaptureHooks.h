#pragma once

#include "platform/BaseImage.h"

#include <QImage>
#include <QList>
#include <QString>

#include <optional>

class QWidget;

namespace snapkin {

// The services of the layers above capture that a capture calls: the editors and the capture
// history a picture goes to, text recognition, onboarding, the newsletter and the quick-access
// panels. The application implements each over its own services and hands them to the capture
// service and the router it makes (CaptureHooks below). All of them are called on the GUI
// thread.

// Opening an editor page: a picture becomes a page, brought forward, and a history entry.
class EditorOpening {
public:
    virtual ~EditorOpening() = default;
    // A new editor page over `image` (with the frame new captures get) titled `title`, brought
    // forward and followed by the history under `historyTitle`.
    virtual void openCapture(const platform::BaseImage& image, const QString& title,
                             const QString& historyTitle) = 0;
    // An image file or a document package in an editor; reports its own failures.
    virtual void openFile(const QString& path) = 0;
};

// The capture history, for the captures that open no editor.
class CaptureHistoryTracking {
public:
    virtual ~CaptureHistoryTracking() = default;
    // A capture that went only to the clipboard or a file.
    virtual void record(const platform::BaseImage& image, const QString& title) = 0;
    // Why the history keeps nothing although it is on, for the user; empty while it works.
    virtual QString unavailableReason() const = 0;
};

// Recognises the text of a captured region and puts it on the clipboard, with its own toasts.
class TextCopying {
public:
    virtual ~TextCopying() = default;
    virtual void copyText(const platform::BaseImage& image) = 0;
};

// The newsletter invitation, asked two seconds after each delivered capture.
class NewsletterInvitation {
public:
    virtual ~NewsletterInvitation() = default;
    virtual bool isDue() = 0;
    virtual bool canInterrupt() = 0;
    // Brings the application forward with the invitation window.
    virtual void show() = 0;
};

// What a capture does when the screen cannot be captured at all (no X11 session): onboarding
// shows its window.
class CaptureOnboarding {
public:
    virtual ~CaptureOnboarding() = default;
    virtual void show() = 0;
};

// The quick-access panels (floating thumbnails of recent captures), which a capture takes off
// the screen with its own windows.
class QuickAccessPanels {
public:
    virtual ~QuickAccessPanels() = default;
    // The panels, shown or not.
    virtual QList<QWidget*> panels() = 0;
    // Whether `panel` still belongs to one of the items; a panel whose item went away while it
    // was hidden stays hidden.
    virtual bool stillOwns(const QWidget* panel) = 0;
};

// The hooks a capture service or router is given; not owned. One left out does nothing: no
// editor opens, nothing is recorded, no text is copied, the invitation is never due, there are
// no panels, and a screen that cannot be captured is explained in an alert.
struct CaptureHooks {
    EditorOpening* editors = nullptr;
    CaptureHistoryTracking* history = nullptr;
    TextCopying* textCopying = nullptr;
    CaptureOnboarding* onboarding = nullptr;
    NewsletterInvitation* newsletter = nullptr;
    QuickAccessPanels* quickAccess = nullptr;
};

// The advice of x11SessionAdvice() in an application-modal alert, for when no onboarding is
// given.
void showX11SessionAlert();

// The title a capture is filed under in the history: the application that was in front when
// it began, or "Screenshot" when that is unknown.
QString captureHistoryTitle(const std::optional<QString>& sourceAppName);

// The picture as the routes out take it: its device pixel ratio is its pixels per point.
QImage imageForOutput(const platform::BaseImage& image);

} // namespace snapkin
