#pragma once

#include "platform/BaseImage.h"

#include <QList>
#include <QString>

class QWidget;

namespace snapkin {

// The services a capture hands its picture to, or asks about, that live in other parts of the
// application (the router, text recognition, the screenshot-folder watcher, onboarding, the
// newsletter, quick access). Each is an interface with `shared()` and `install()`; the part that
// provides it installs itself at start-up. Until then the default below each one stands in.
// All of them are called on the GUI thread.

// Where a finished capture goes for the editor and file destinations. The default opens the
// picture in a new editor window (with the remembered frame, as a new capture) and files it in
// the capture history; its file save runs the save panel.
class PostCaptureRouting {
public:
    virtual ~PostCaptureRouting() = default;
    static PostCaptureRouting& shared();
    // Installs `router` (not owned; nullptr restores the default).
    static void install(PostCaptureRouting* router);

    // A capture for the editor: opens, copies or saves it as the after-capture settings say.
    virtual void handleCapturedImage(const platform::BaseImage& image, const QString& title) = 0;
    // A capture for a file: written into the default save folder under a time-stamped name.
    // Reports its own failures.
    virtual void saveToDisk(const platform::BaseImage& image) = 0;
};

// Recognises the text of a captured region and puts it on the clipboard, with its own toasts.
// The default does nothing.
class TextCopying {
public:
    virtual ~TextCopying() = default;
    static TextCopying& shared();
    static void install(TextCopying* copier);

    virtual void copyText(const platform::BaseImage& image) = 0;
};

// The watcher of the folder the desktop's own screenshot tool saves into ("Use System
// Screenshots…" in the capture failure alert). The default does nothing and answers false.
class ScreenshotWatching {
public:
    virtual ~ScreenshotWatching() = default;
    static ScreenshotWatching& shared();
    static void install(ScreenshotWatching* watcher);

    // Makes sure a folder is chosen (asking when none is stored), turns watching on and starts
    // it. Returns whether watching is on.
    virtual bool enableChoosingFolder() = 0;
};

// The newsletter invitation, asked two seconds after each delivered capture. The default is
// never due.
class NewsletterInvitation {
public:
    virtual ~NewsletterInvitation() = default;
    static NewsletterInvitation& shared();
    static void install(NewsletterInvitation* invitation);

    virtual bool isDue() = 0;
    virtual bool canInterrupt() = 0;
    // Brings the application forward with the invitation window.
    virtual void show() = 0;
};

// What a capture does when the screen cannot be captured at all (no X11 session). The default
// explains it in an alert; onboarding replaces it with its window.
class CaptureOnboarding {
public:
    virtual ~CaptureOnboarding() = default;
    static CaptureOnboarding& shared();
    static void install(CaptureOnboarding* onboarding);

    virtual void show() = 0;
};

// The quick-access panels (floating thumbnails of recent captures), which a capture takes off
// the screen with its own windows. The default has none.
class QuickAccessPanels {
public:
    virtual ~QuickAccessPanels() = default;
    static QuickAccessPanels& shared();
    static void install(QuickAccessPanels* panels);

    // The panels, shown or not.
    virtual QList<QWidget*> panels() = 0;
    // Whether `panel` still belongs to one of the items; a panel whose item went away while it
    // was hidden stays hidden.
    virtual bool stillOwns(const QWidget* panel) = 0;
};

// The advice shown when there is no X server to capture from.
QString x11SessionAdvice();

} // namespace snapkin
