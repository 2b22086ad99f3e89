#pragma once

#include "model/Tool.h"

#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <map>
#include <optional>

class QWidget;

namespace snapkin {

class AnnotationStore;
class CaptureService;
class EditorPage;
class EditorWindowController;
class ExportDialogs;
class PinnedScreenshotController;
class StartWindowController;
class TextCopier;

// The one object behind the application's commands, shared by the editor windows' menu bars and
// the tray menu. Every command finds its editor afresh when it runs:
// - the key editor: the editor whose window is the active window; none when the active window
//   is not an editor (the settings window, a pin) or nothing is active;
// - the current editor: the key editor, else the editor opened most recently.
// A command without its editor does nothing, silently.
//
// Commands of the settings layer's windows and the collage maker (collage, settings, About,
// onboarding, What's New, the newsletter) run the handlers the application gives with
// setHandler(); the menus leave out the items of a handler not given.
class MenuActions : public QObject {
    Q_OBJECT
public:
    // `siteRoot` is the support site's root ("https://…/"); none: the one the build names.
    // Export Image saves through `exports`; the capture commands run on `capture`; the editor
    // commands act on the pages of `editors`.
    MenuActions(EditorWindowController& editors, ExportDialogs& exports,
                PinnedScreenshotController& pins, StartWindowController& startWindow,
                TextCopier& copier, CaptureService& capture,
                std::optional<QString> siteRoot = std::nullopt, QObject* parent = nullptr);

    // The capture service the capture commands run on.
    CaptureService& capture() const { return m_capture; }
    // The editors the editor commands act on.
    EditorWindowController& editors() const { return m_editors; }

    enum class Handler {
        collageSideBySide,
        collageStacked,
        settings,
        about,
        whatsNew,
        welcome,
        newsletter, // opens the newsletter window when it may interrupt; false otherwise
    };
    using Action = std::function<bool()>;
    // Installs (or, with an empty function, removes) the work behind a handler's items.
    void setHandler(Handler handler, Action action);
    bool hasHandler(Handler handler) const;

    // The editor targets.
    AnnotationStore* keyStore() const;
    AnnotationStore* currentStore() const;
    // The page in the active window; null when that is no editor.
    EditorPage* keyPage() const;

    // The support site's root ("https://…/"), empty when none is configured: Help is hidden.
    const QString& siteRoot() const { return m_siteRoot; }
    // The help page for the user's languages: "<lang>/support/" for the languages that have one,
    // else "support/".
    static QString helpPath(const QStringList& uiLanguages);

public slots:
    // Application.
    void about();
    void settings();
    void whatsNew();
    void welcome();
    void newsletter();
    void openHelp();
    void quit();
    void openSnapkin();
    // Opens the start window (the capture history) or brings it forward.
    void startWindow();

    // Captures. The five with global shortcuts go through the capture actions.
    void captureRegion();
    void captureWindow();
    void captureFrontWindow();
    void captureFullScreen();
    void recaptureLastRegion();
    void copyTextFromRegion();
    void regionToClipboard();
    void regionToFile();
    void fullScreenToClipboard();
    void fullScreenToFile();
    void captureDisplay(std::optional<std::uint32_t> displayID);

    // New editors.
    void newBlankCanvas();
    void newTab();
    void newFromClipboard();
    void openImage();
    void collageSideBySide();
    void collageStacked();

    // Documents.
    void save();
    void saveAsDocument();
    void clearRecentDocuments();
    // Closes the key editor's page as its tab's close button does, asking about unsaved
    // changes; the window goes with its last page.
    void closeWindow();

    // Edit.
    void undo();
    void redo();
    bool copyImage();
    void copyImageOnly() { copyImage(); }
    void share();
    void copyTextFromImage();
    void cut();
    void paste();
    void copy();
    void deleteSelection();
    bool canPaste() const;
    bool canCopy() const;
    bool canDeleteSelection() const;

    // View.
    void zoomIn();
    void zoomOut();
    void actualSize();
    void zoomToFit();
    void toggleOptionsBar();
    void toggleSelectableText();
    void customizeToolbar();
    void showKeyboardShortcuts();

    // Image.
    void rotateLeft();
    void rotateRight();
    void flipHorizontal();
    void flipVertical();
    void resizeImage();
    void sharpenImage();
    void beginCrop();
    void pinToScreen();
    void selectTool(Tool tool);
    void unlockPins();
    void closePins();

private:
    bool runHandler(Handler handler);

    EditorWindowController& m_editors;
    ExportDialogs& m_exports;
    PinnedScreenshotController& m_pins;
    StartWindowController& m_startWindow;
    TextCopier& m_copier;
    CaptureService& m_capture;
    QString m_siteRoot;
    std::map<Handler, Action> m_handlers;
};

} // namespace snapkin
