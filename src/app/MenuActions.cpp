#include "app/MenuActions.h"

#include "app/AppDelegate.h"
#include "app/PinnedScreenshotController.h"
#include "app/start/StartWindowController.h"
#include "capture/CaptureService.h"
#include "capture/CaptureToast.h"
#include "capture/hotkeys/CaptureAction.h"
#include "editor/DocumentActions.h"
#include "editor/EditorPage.h"
#include "editor/EditorToolbar.h"
#include "editor/EditorView.h"
#include "editor/EditorWindowController.h"
#include "editor/EditorZoom.h"
#include "editor/RecentDocuments.h"
#include "model/AnnotationStore.h"
#include "model/SnapkinDocument.h"
#include "output/ExportService.h"
#include "platform/BuildInfo.h"
#include "platform/ClipboardOffer.h"
#include "platform/Defaults.h"
#include "platform/L10n.h"
#include "text/TextCopier.h"
#include "ui/output/DocumentSaveDialog.h"
#include "ui/output/ExportDialogs.h"
#include "ui/output/FlattenAlert.h"

#include <QApplication>
#include <QDesktopServices>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QUrl>

namespace snapkin {

using platform::L10n;

namespace {

void showFailure(QWidget* parent, const QString& message)
{
    QMessageBox box(QMessageBox::Warning, L10n::text("The document could not be saved."), message,
                    QMessageBox::Ok, parent);
    box.setWindowModality(Qt::WindowModal);
    box.exec();
}

// The widget with the keyboard when it edits text: the Edit menu's Copy, Paste and Delete are
// then its own.
QWidget* focusedTextEditor()
{
    QWidget* focus = QApplication::focusWidget();
    if (qobject_cast<QLineEdit*>(focus) || qobject_cast<QTextEdit*>(focus) ||
        qobject_cast<QPlainTextEdit*>(focus))
        return focus;
    return nullptr;
}

} // namespace

MenuActions::MenuActions(EditorWindowController& editors, ExportDialogs& exports,
                         PinnedScreenshotController& pins, StartWindowController& startWindow,
                         TextCopier& copier, CaptureService& capture,
                         std::optional<QString> siteRoot, QObject* parent)
    : QObject(parent), m_editors(editors), m_exports(exports), m_pins(pins),
      m_startWindow(startWindow), m_copier(copier), m_capture(capture),
      m_siteRoot(std::move(siteRoot).value_or(platform::BuildInfo::siteRoot()))
{
}

EditorPage* MenuActions::keyPage() const
{
    QWidget* window = QApplication::activeWindow();
    return window ? m_editors.page(window) : nullptr;
}

void MenuActions::setHandler(Handler handler, Action action)
{
    if (action)
        m_handlers[handler] = std::move(action);
    else
        m_handlers.erase(handler);
}

bool MenuActions::hasHandler(Handler handler) const
{
    return m_handlers.contains(handler);
}

bool MenuActions::runHandler(Handler handler)
{
    const auto found = m_handlers.find(handler);
    return found != m_handlers.end() && found->second();
}

AnnotationStore* MenuActions::keyStore() const
{
    EditorPage* page = keyPage();
    return page ? &page->store() : nullptr;
}

AnnotationStore* MenuActions::currentStore() const
{
    if (AnnotationStore* store = keyStore()) return store;
    const QList<EditorPage*> pages = editors().pages();
    return pages.isEmpty() ? nullptr : &pages.last()->store();
}

QString MenuActions::helpPath(const QStringList& uiLanguages)
{
    static const QStringList withPage{
        QStringLiteral("es"), QStringLiteral("fr"), QStringLiteral("de"), QStringLiteral("it"),
        QStringLiteral("pt"), QStringLiteral("ja"), QStringLiteral("ko")};
    const QString language =
        uiLanguages.isEmpty() ? QStringLiteral("en") : uiLanguages.first().left(2).toLower();
    return withPage.contains(language) ? language + QStringLiteral("/support/")
                                       : QStringLiteral("support/");
}

// ---- application ------------------------------------------------------------------------------

void MenuActions::about()
{
    runHandler(Handler::about);
}

void MenuActions::settings()
{
    runHandler(Handler::settings);
}

void MenuActions::whatsNew()
{
    runHandler(Handler::whatsNew);
}

void MenuActions::welcome()
{
    runHandler(Handler::welcome);
}

void MenuActions::newsletter()
{
    // The newsletter answers false when it may not interrupt now (its window is already up, an
    // editor has unsaved changes): only the beep says so.
    if (!runHandler(Handler::newsletter)) QApplication::beep();
}

void MenuActions::openHelp()
{
    const QString root = siteRoot();
    if (root.isEmpty()) return;
    // The page in the language the application shows, which may differ from the desktop's.
    const QUrl url(root + helpPath({L10n::language()}));
    if (url.isValid()) QDesktopServices::openUrl(url);
}

void MenuActions::quit()
{
    AppDelegate::requestQuit(m_editors);
}

void MenuActions::openSnapkin()
{
    editors().activateOrOpenBlank();
}

void MenuActions::startWindow()
{
    m_startWindow.show();
}

// ---- captures ---------------------------------------------------------------------------------

void MenuActions::captureRegion()
{
    run(CaptureAction::region);
}

void MenuActions::captureWindow()
{
    run(CaptureAction::window);
}

void MenuActions::captureFrontWindow()
{
    run(CaptureAction::frontWindow);
}

void MenuActions::captureFullScreen()
{
    run(CaptureAction::fullScreen);
}

void MenuActions::recaptureLastRegion()
{
    run(CaptureAction::lastRegion);
}

void MenuActions::copyTextFromRegion()
{
    run(CaptureAction::copyText);
}

void MenuActions::regionToClipboard()
{
    m_capture.capture(CaptureMode::region, CaptureSink::clipboard);
}

void MenuActions::regionToFile()
{
    m_capture.capture(CaptureMode::region, CaptureSink::file);
}

void MenuActions::fullScreenToClipboard()
{
    m_capture.capture(CaptureMode::fullScreen, CaptureSink::clipboard);
}

void MenuActions::fullScreenToFile()
{
    m_capture.capture(CaptureMode::fullScreen, CaptureSink::file);
}

void MenuActions::captureDisplay(std::optional<std::uint32_t> displayID)
{
    m_capture.captureFullScreen(displayID);
}

// ---- new editors ------------------------------------------------------------------------------

void MenuActions::newBlankCanvas()
{
    editors().openBlank();
}

void MenuActions::newTab()
{
    editors().openBlank(keyPage());
}

void MenuActions::closeWindow()
{
    if (EditorPage* page = keyPage()) page->close();
}

void MenuActions::newFromClipboard()
{
    m_capture.openFromClipboard();
}

void MenuActions::openImage()
{
    m_capture.openImage();
}

void MenuActions::collageSideBySide()
{
    runHandler(Handler::collageSideBySide);
}

void MenuActions::collageStacked()
{
    runHandler(Handler::collageStacked);
}

// ---- documents --------------------------------------------------------------------------------

void MenuActions::save()
{
    if (AnnotationStore* store = currentStore())
        DocumentActions::exportImage(m_exports, *store, std::nullopt, editors().pageOf(*store));
}

void MenuActions::saveAsDocument()
{
    AnnotationStore* store = currentStore();
    if (!store) return;
    QWidget* parent = editors().pageOf(*store);
    const QString extension = QLatin1String(SnapkinDocument::extension);
    QString start =
        store->documentURL().isLocalFile() ? store->documentURL().toLocalFile() : QString();
    if (start.isEmpty() && parent)
        start = QDir::homePath() + QLatin1Char('/') + editors().pageOf(*store)->title() +
                QLatin1Char('.') + extension;
    DocumentSaveDialog dialog(parent ? parent->window() : nullptr,
                              L10n::text("Save as Snapkin Document"), start);
    if (dialog.exec() != QDialog::Accepted || dialog.chosenPath().isEmpty()) return;
    const QString path = dialog.chosenPath();

    auto package = SnapkinDocument::wrapper(*store);
    if (!package) return showFailure(parent, package.error().userMessage());
    if (auto written = SnapkinDocument::write(*package, path); !written)
        return showFailure(parent, written.error().describe(path));
    // From now on the editor is that document: saving writes it and the title names it.
    store->setDocumentURL(QUrl::fromLocalFile(path));
    store->setHasUnsavedChanges(false);
    RecentDocuments::noteNewRecentDocument(QUrl::fromLocalFile(path));
}

void MenuActions::clearRecentDocuments()
{
    RecentDocuments::clear();
}

// ---- edit -------------------------------------------------------------------------------------

void MenuActions::undo()
{
    if (AnnotationStore* store = keyStore()) store->undo();
}

void MenuActions::redo()
{
    if (AnnotationStore* store = keyStore()) store->redo();
}

bool MenuActions::copyImage()
{
    AnnotationStore* store = keyStore();
    if (!store) return false;
    const std::optional<QImage> image = flattenOrAlert(*store, editors().pageOf(*store));
    if (!image) return false;
    ExportService::copy(*image, true);
    store->markExported();
    return true;
}

void MenuActions::share()
{
    AnnotationStore* store = keyStore();
    if (!store) return;
    if (const auto image = flattenOrAlert(*store, editors().pageOf(*store)))
        ExportDialogs::share(*image, ExportDialogs::savedFile(*store));
}

void MenuActions::copyTextFromImage()
{
    AnnotationStore* store = currentStore();
    if (!store) return;
    if (const auto image = flattenOrAlert(*store, editors().pageOf(*store)))
        m_copier.copyText(*image);
}

void MenuActions::cut()
{
    if (QWidget* editor = focusedTextEditor()) QMetaObject::invokeMethod(editor, "cut");
}

void MenuActions::paste()
{
    if (QWidget* editor = focusedTextEditor()) {
        QMetaObject::invokeMethod(editor, "paste");
        return;
    }
    m_capture.openFromClipboard();
}

void MenuActions::copy()
{
    if (QWidget* editor = focusedTextEditor()) {
        QMetaObject::invokeMethod(editor, "copy");
        return;
    }
    if (copyImage()) CaptureToast::show(L10n::text("Copied to clipboard"), 1.3);
}

void MenuActions::deleteSelection()
{
    if (QWidget* editor = focusedTextEditor()) {
        if (auto* line = qobject_cast<QLineEdit*>(editor)) line->del();
        return;
    }
    if (AnnotationStore* store = keyStore()) store->deleteSelected();
}

bool MenuActions::canPaste() const
{
    if (focusedTextEditor()) return true;
    // From the owner's list of targets, kept current as the clipboard changes hands: opening
    // the menu never waits for the owner.
    return platform::ClipboardOffer::shared().offersImage();
}

bool MenuActions::canCopy() const
{
    return focusedTextEditor() || keyStore();
}

bool MenuActions::canDeleteSelection() const
{
    if (focusedTextEditor()) return true;
    const AnnotationStore* store = keyStore();
    return store && store->selectedID().has_value();
}

// ---- view -------------------------------------------------------------------------------------

void MenuActions::zoomIn()
{
    if (EditorPage* page = keyPage()) page->zoom().zoomIn();
}

void MenuActions::zoomOut()
{
    if (EditorPage* page = keyPage()) page->zoom().zoomOut();
}

void MenuActions::actualSize()
{
    if (EditorPage* page = keyPage()) page->zoom().setScale(1.0);
}

void MenuActions::zoomToFit()
{
    EditorPage* page = keyPage();
    if (!page) return;
    const AnnotationStore& store = page->store();
    page->zoom().fit(store.isCropping() ? store.image().pointSize()
                                        : store.frameLayout().canvasSize);
}

void MenuActions::toggleOptionsBar()
{
    auto& settings = platform::Defaults::standard();
    settings.set(keys::showOptionsBar, !settings.getOrDefault(keys::showOptionsBar));
}

void MenuActions::toggleSelectableText()
{
    auto& settings = platform::Defaults::standard();
    settings.set(keys::selectableTextEnabled, !settings.get(keys::selectableTextEnabled));
}

void MenuActions::customizeToolbar()
{
    if (EditorPage* page = keyPage()) page->view()->toolbar()->openCustomizeDialog();
}

void MenuActions::showKeyboardShortcuts()
{
    EditorPage* page = keyPage();
    if (!page && !editors().pages().isEmpty()) page = editors().pages().last();
    if (page) page->view()->setShowsShortcuts(true);
}

// ---- image ------------------------------------------------------------------------------------

void MenuActions::rotateLeft()
{
    if (AnnotationStore* store = currentStore()) store->rotate(false);
}

void MenuActions::rotateRight()
{
    if (AnnotationStore* store = currentStore()) store->rotate(true);
}

void MenuActions::flipHorizontal()
{
    if (AnnotationStore* store = currentStore()) store->flipHorizontal();
}

void MenuActions::flipVertical()
{
    if (AnnotationStore* store = currentStore()) store->flipVertical();
}

namespace {

// Resize and sharpen leave crop mode first; the crop rectangle is abandoned, not applied.
AnnotationStore* leavingCrop(AnnotationStore* store)
{
    if (store && store->isCropping()) {
        store->setIsCropping(false);
        store->setTool(Tool::select);
    }
    return store;
}

} // namespace

void MenuActions::resizeImage()
{
    if (AnnotationStore* store = leavingCrop(currentStore())) store->setIsResizing(true);
}

void MenuActions::sharpenImage()
{
    if (AnnotationStore* store = leavingCrop(currentStore())) store->setIsSharpening(true);
}

void MenuActions::beginCrop()
{
    if (AnnotationStore* store = currentStore()) store->activate(Tool::crop);
}

void MenuActions::selectTool(Tool tool)
{
    if (AnnotationStore* store = currentStore()) store->activate(tool);
}

void MenuActions::pinToScreen()
{
    AnnotationStore* store = currentStore();
    if (!store) return;
    EditorPage* page = editors().pageOf(*store);
    if (const auto image = flattenOrAlert(*store, page)) m_pins.pin(*image, page);
}

void MenuActions::unlockPins()
{
    m_pins.unlockAll();
}

void MenuActions::closePins()
{
    m_pins.closeAll();
}

} // namespace snapkin
