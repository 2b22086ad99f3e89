#include "AppShell.h"
#include "AppTestSupport.h"

#include "app/MainMenuBuilder.h"
#include "app/MenuActions.h"
#include "app/PinnedScreenshotController.h"
#include "editor/EditorPage.h"
#include "editor/EditorTabHost.h"
#include "editor/EditorWindowController.h"
#include "editor/EditorZoom.h"
#include "editor/RecentDocuments.h"
#include "model/AnnotationStore.h"
#include "platform/BaseImage.h"
#include "platform/Defaults.h"
#include "platform/L10n.h"
#include "support/AlertAnswerer.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QFile>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace snapkin;

namespace {

// The menu's items, a disabled one marked " (off)".
QStringList walk(const QMenu& menu)
{
    return apptest::menuItems(menu, true);
}

QMenu* menuNamed(QMenuBar& bar, const QString& title)
{
    for (QAction* action : bar.actions())
        if (action->text() == title) return action->menu();
    return nullptr;
}

QAction* item(QMenu& menu, const QString& text)
{
    for (QAction* action : menu.actions())
        if (action->text() == text) return action;
    return nullptr;
}

// Takes the addresses the application asks the desktop to open.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl& url) { opened << url; }
};

class MainMenuTest : public ::testing::Test {
protected:
    apptest::Shell shell;

    void SetUp() override
    {
        QApplication::setQuitOnLastWindowClosed(false);
        platform::Defaults::standard().removeAllStored();
        QApplication::clipboard()->clear(); // an image copied earlier would enable Paste
        m_bar.reset(shell.menus.makeMenuBar(nullptr));
    }
    void TearDown() override
    {
        shell.pins.closeAll();
        apptest::closeAllEditors(shell.editors);
        // The menus of this test's shell go with it.
        shell.editors.setWindowDecorator({});
        platform::Defaults::standard().removeAllStored();
    }
    QMenu& menu(const char* title)
    {
        QMenu* found = menuNamed(*m_bar, title);
        EXPECT_NE(found, nullptr) << title;
        emit found->aboutToShow();
        return *found;
    }
    // Makes `window` the active window, as a click on it would.
    static void activate(QWidget* window)
    {
        window->show();
        window->activateWindow();
        QApplication::setActiveWindow(window);
        EXPECT_TRUE(QTest::qWaitForWindowActive(window));
    }

    std::unique_ptr<QMenuBar> m_bar;
};

} // namespace

TEST_F(MainMenuTest, MenusListTheirCommandsWithTheDesktopsKeys)
{
    QStringList titles;
    for (QAction* action : m_bar->actions())
        titles << action->text();
    EXPECT_EQ(titles, (QStringList{"&File", "&Edit", "&View", "&Capture", "&Image", "&Tools",
                                   "&Window", "&Help"}));

    EXPECT_EQ(
        walk(menu("&File")),
        (QStringList{"New Blank Canvas\tCtrl+N", "New from Clipboard\tCtrl+Shift+N",
                     "Open\u2026\tCtrl+O", "Open Recent >", "New Tab\tCtrl+T", "---",
                     "Save\u2026\tCtrl+S", "Save as Snapkin Document\u2026\tCtrl+Shift+S",
                     "Export As\u2026", "---", "Close Window\tCtrl+W", "Quit Snapkin\tCtrl+Q"}));
    EXPECT_EQ(
        walk(menu("&Edit")),
        (QStringList{"Undo\tCtrl+Z", "Redo\tCtrl+Shift+Z", "---", "Cut\tCtrl+X",
                     "Copy\tCtrl+C (off)", "Paste\tCtrl+V (off)", "Delete\tDel (off)", "---",
                     "Copy Image\tCtrl+Shift+C", "Share\u2026", "Copy Text from Image", "---"}));
    EXPECT_EQ(walk(menu("&View")),
              (QStringList{"Zoom In\tCtrl++", "Zoom Out\tCtrl+-", "Actual Size\tCtrl+0",
                           "Zoom to Fit\tCtrl+9", "---", "Hide Options Bar", "Show Selectable Text",
                           "Customize Toolbar\u2026"}));
    EXPECT_EQ(
        walk(menu("&Capture")),
        (QStringList{"Capture Region\tCtrl+Alt+4", "Capture Window\tCtrl+Alt+5",
                     "Capture Front Window\tCtrl+Alt+Shift+5", "Capture Full Screen\tCtrl+Alt+3",
                     "Recapture Last Region\tCtrl+Alt+Shift+4", "Copy Text from Region\tCtrl+Alt+7",
                     "---", "Quick Capture >", "---"}));
    EXPECT_EQ(
        walk(menu("&Image")),
        (QStringList{"Rotate Counterclockwise\tCtrl+[", "Rotate Clockwise\tCtrl+]", "---",
                     "Flip Horizontal", "Flip Vertical", "---", "Resize Image\u2026\tCtrl+Shift+R",
                     "Sharpen\u2026", "Crop\u2026", "---", "Pin to Screen"}));
    // With no editor open the Window menu lists no windows.
    EXPECT_EQ(walk(menu("&Window")),
              (QStringList{"Start Window\tCtrl+Shift+1", "---", "Minimize\tCtrl+M", "---",
                           "Unlock Pinned Screenshots\tCtrl+Alt+U (off)",
                           "Close Pinned Screenshots (off)"}));
    // No support site is configured, so Help leads to the editor's own sheet only; its "?" is
    // the canvas's key, not the item's.
    EXPECT_EQ(walk(menu("&Help")), (QStringList{"Keyboard Shortcuts", "---"}));

    const QStringList tools = walk(menu("&Tools"));
    ASSERT_EQ(tools.size(), 16);
    EXPECT_EQ(tools.first(), "Select\tAlt+Shift+V");
    EXPECT_TRUE(tools.contains("Arrow\tAlt+Shift+A"));
    EXPECT_EQ(tools.last(), "Frame\tAlt+Shift+Y");
}

TEST_F(MainMenuTest, OnlyClearMenuAndThePinItemsWaitForSomethingToActOn)
{
    QMenu* recent = item(menu("&File"), "Open Recent")->menu();
    emit recent->aboutToShow();
    EXPECT_EQ(walk(*recent), QStringList{"Clear Menu (off)"});

    // A file noted since the menu was made, by whatever part of the application, is there the
    // next time it opens.
    QTemporaryDir dir;
    const QString noted = dir.filePath("Noted.png");
    ASSERT_TRUE(QFile(noted).open(QIODevice::WriteOnly));
    RecentDocuments::noteNewRecentDocument(QUrl::fromLocalFile(noted));
    emit recent->aboutToShow();
    EXPECT_EQ(walk(*recent), (QStringList{"Noted.png", "---", "Clear Menu"}));
    item(*recent, "Clear Menu")->trigger();
    emit recent->aboutToShow();
    EXPECT_EQ(walk(*recent), QStringList{"Clear Menu (off)"});

    auto& pins = shell.pins;
    QImage image(100, 80, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::yellow);
    PinnedScreenshotWindow* pin = pins.pin(image);
    QMenu& window = menu("&Window");
    EXPECT_FALSE(item(window, "Unlock Pinned Screenshots")->isEnabled());
    EXPECT_TRUE(item(window, "Close Pinned Screenshots")->isEnabled());
    pin->lock();
    EXPECT_TRUE(item(window, "Unlock Pinned Screenshots")->isEnabled());
    item(window, "Unlock Pinned Screenshots")->trigger();
    EXPECT_FALSE(item(window, "Unlock Pinned Screenshots")->isEnabled());
    item(window, "Close Pinned Screenshots")->trigger();
    EXPECT_FALSE(item(window, "Close Pinned Screenshots")->isEnabled());

    // With no editor at all every other item stays enabled (and does nothing).
    for (const char* title : {"&File", "&View", "&Capture", "&Image", "&Tools", "&Help"})
        for (const QString& entry : walk(menu(title)))
            EXPECT_FALSE(entry.endsWith(" (off)") && !entry.startsWith("Clear Menu"))
                << entry.toStdString();
}

TEST_F(MainMenuTest, WithAnotherWindowInFrontKeyEditorItemsRestWhileImageItemsActOnTheNewest)
{
    auto& editors = shell.editors;
    AnnotationStore& older = editors.openBlank();
    AnnotationStore& newest = editors.openBlank();
    for (AnnotationStore* store : {&older, &newest})
        store->rotate(true); // one undo step each
    const QSizeF newestSize = newest.image().pointSize();

    QWidget settingsLike;
    settingsLike.resize(200, 100);
    activate(&settingsLike);

    EditorZoom& zoom = editors.pageOf(newest)->zoom();
    const double scale = zoom.scale();
    item(menu("&Edit"), "Undo")->trigger();
    item(menu("&View"), "Zoom In")->trigger();
    EXPECT_EQ(newest.undoCount(), 1);
    EXPECT_EQ(older.undoCount(), 1);
    EXPECT_DOUBLE_EQ(zoom.scale(), scale);
    EXPECT_FALSE(shell.actions.copyImage());

    item(menu("&Image"), "Rotate Clockwise")->trigger();
    EXPECT_EQ(newest.image().pointSize(), newestSize.transposed());
    EXPECT_EQ(older.undoCount(), 1);
    item(menu("&Tools"), "Arrow")->trigger();
    EXPECT_EQ(newest.tool(), Tool::arrow);

    // With an editor in front, the key editor is that one.
    activate(editors.pageOf(older)->window());
    item(menu("&Edit"), "Undo")->trigger();
    EXPECT_EQ(older.undoCount(), 0);
}

TEST_F(MainMenuTest, ZoomStepsStayBetweenAQuarterAndFourTimes)
{
    auto& editors = shell.editors;
    AnnotationStore& store = editors.openBlank();
    EditorPage* page = editors.pageOf(store);
    activate(page->window());
    EditorZoom& zoom = page->zoom();
    QMenu& view = menu("&View");

    zoom.setScale(4.0);
    item(view, "Zoom In")->trigger();
    EXPECT_DOUBLE_EQ(zoom.scale(), 4.0);
    zoom.setScale(0.25);
    item(view, "Zoom Out")->trigger();
    EXPECT_DOUBLE_EQ(zoom.scale(), 0.25);
    zoom.setScale(0.1); // a fit may go below the steps' range
    item(view, "Zoom In")->trigger();
    EXPECT_DOUBLE_EQ(zoom.scale(), 0.25);
    item(view, "Actual Size")->trigger();
    EXPECT_DOUBLE_EQ(zoom.scale(), 1.0);
}

TEST_F(MainMenuTest, TogglesStoreTheirSettingAndTurnTheirTitle)
{
    auto& settings = platform::Defaults::standard();
    item(menu("&View"), "Hide Options Bar")->trigger();
    EXPECT_FALSE(settings.boolForKey("showOptionsBar"));
    EXPECT_NE(item(menu("&View"), "Show Options Bar"), nullptr);
    item(menu("&View"), "Show Selectable Text")->trigger();
    EXPECT_TRUE(settings.boolForKey("selectableTextEnabled"));
    EXPECT_NE(item(menu("&View"), "Hide Selectable Text"), nullptr);
}

TEST_F(MainMenuTest, ResizeDuringACropLeavesCropModeWithoutCropping)
{
    auto& editors = shell.editors;
    AnnotationStore& store = editors.openBlank();
    activate(editors.pageOf(store)->window());
    store.activate(Tool::crop);
    ASSERT_TRUE(store.isCropping());
    const QSizeF size = store.image().pointSize();
    shell.actions.resizeImage();
    EXPECT_FALSE(store.isCropping());
    EXPECT_EQ(store.tool(), Tool::select);
    EXPECT_EQ(store.image().pointSize(), size);
    store.setIsResizing(false);
}

TEST_F(MainMenuTest, EditorWindowsCarryTheMenuBar)
{
    shell.editors.setWindowDecorator([this](QMainWindow& window) { shell.menus.install(window); });
    AnnotationStore& store = shell.editors.openBlank();
    auto* window = qobject_cast<QMainWindow*>(shell.editors.pageOf(store)->window());
    ASSERT_NE(window, nullptr);
    ASSERT_NE(window->menuBar(), nullptr);
    EXPECT_NE(menuNamed(*window->menuBar(), "&Capture"), nullptr);
    window->grab().save(apptest::picturePath("editor-with-menu-bar.png"));
    shell.editors.setWindowDecorator({});
}

// Ctrl+W closes the key editor's current tab as its close button does: an unsaved page asks
// first, and the window goes with its last page.
TEST_F(MainMenuTest, CtrlWClosesTheKeyEditorsPageAskingAboutUnsavedChanges)
{
    auto& editors = shell.editors;
    editors.setWindowDecorator([this](QMainWindow& window) { shell.menus.install(window); });
    AnnotationStore& clean = editors.openBlank();
    QPointer<QWidget> window = editors.pageOf(clean)->window();
    AnnotationStore& dirty = editors.openBlank(window);
    dirty.setHasUnsavedChanges(true);
    EditorPage* dirtyPage = editors.pageOf(dirty);
    ASSERT_EQ(dirtyPage->window(), window.data());
    activate(window);
    ASSERT_EQ(shell.actions.keyPage(), dirtyPage);

    {
        AlertAnswerer answerer({"Cancel"});
        QTest::keyClick(window, Qt::Key_W, Qt::ControlModifier);
        EXPECT_EQ(answerer.seen().size(), 1);
    }
    EXPECT_EQ(editors.pages().size(), 2);
    activate(window); // the question had the keyboard
    {
        AlertAnswerer answerer({"Don't Save"});
        QTest::keyClick(window, Qt::Key_W, Qt::ControlModifier);
        EXPECT_EQ(answerer.seen().size(), 1);
    }
    QCoreApplication::processEvents();
    ASSERT_EQ(editors.pages().size(), 1);
    EXPECT_EQ(editors.pages().first(), editors.pageOf(clean));

    // The clean last page closes without a question, and its window with it.
    AlertAnswerer none;
    activate(window);
    QTest::keyClick(window, Qt::Key_W, Qt::ControlModifier);
    EXPECT_TRUE(QTest::qWaitFor([&] { return window.isNull(); }, 2000));
    EXPECT_TRUE(editors.pages().isEmpty());
    EXPECT_TRUE(none.seen().isEmpty());
    editors.setWindowDecorator({});
}

// The Window menu ends with every open editor, tabs included, the key editor's page checked;
// choosing one shows its tab and brings its window forward.
TEST_F(MainMenuTest, TheWindowMenuListsTheOpenEditorsAndBringsTheChosenOneForward)
{
    auto& editors = shell.editors;
    QImage image(320, 200, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::darkGreen);
    const EditorOpenOptions plain{.appliesRememberedFrame = false};
    EditorPage* first = editors.pageOf(editors.open(platform::BaseImage(image), "First", plain));
    EditorPage* second = editors.pageOf(editors.open(platform::BaseImage(image), "Second", plain));
    EditorPage* tab = editors.pageOf(
        editors.open(platform::BaseImage(image), "Tab of First",
                     EditorOpenOptions{.appliesRememberedFrame = false, .tabOf = first}));
    ASSERT_EQ(tab->window(), first->window());
    activate(second->window());

    QMenu& window = menu("&Window");
    EXPECT_EQ(walk(window), (QStringList{"Start Window\tCtrl+Shift+1", "---", "Minimize\tCtrl+M",
                                         "---", "Unlock Pinned Screenshots\tCtrl+Alt+U (off)",
                                         "Close Pinned Screenshots (off)", "---", "First", "Second",
                                         "Tab of First"}));
    QStringList checked;
    for (QAction* action : window.actions())
        if (action->isChecked()) checked << action->text();
    EXPECT_EQ(checked, QStringList{"Second"});

    // The first window's hidden tab comes forward with its window.
    first->window()->showMinimized();
    item(window, "First")->trigger();
    EXPECT_EQ(first->host()->currentPage(), first);
    EXPECT_FALSE(first->window()->isMinimized());
    EXPECT_TRUE(QTest::qWaitForWindowActive(first->window()));

    // Opened again, the list follows: a closed editor is gone, the new key page is checked.
    second->store().setHasUnsavedChanges(false);
    second->window()->close();
    ASSERT_TRUE(QTest::qWaitFor([&] { return editors.pages().size() == 2; }, 2000));
    emit window.aboutToShow();
    const QStringList items = walk(window);
    EXPECT_EQ(items.mid(items.size() - 3), (QStringList{"---", "First", "Tab of First"}));
    EXPECT_TRUE(item(window, "First")->isChecked());
    EXPECT_FALSE(item(window, "Tab of First")->isChecked());
}

TEST(HelpPage, OpensThePageInTheLanguageTheApplicationShows)
{
    // Help opens through the desktop's browser; the test takes the address instead.
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler("https", &catcher, "open");
    apptest::Shell shell(QStringLiteral("https://help.example/"));
    // The desktop runs in English; the application shows German.
    platform::L10n::setLanguage(QStringLiteral("de"));
    shell.actions.openHelp();
    platform::L10n::setLanguage(QStringLiteral("pt-BR"));
    shell.actions.openHelp();
    platform::L10n::setLanguage(QStringLiteral("en"));
    shell.actions.openHelp();
    QDesktopServices::unsetUrlHandler("https");
    EXPECT_EQ(catcher.opened, (QList<QUrl>{QUrl("https://help.example/de/support/"),
                                           QUrl("https://help.example/pt/support/"),
                                           QUrl("https://help.example/support/")}));
}

TEST(HelpPage, FollowsTheFirstLanguageThatHasAPage)
{
    EXPECT_EQ(MenuActions::helpPath({"pt-BR", "en"}), "pt/support/");
    EXPECT_EQ(MenuActions::helpPath({"de"}), "de/support/");
    for (const char* other : {"en-GB", "nl", "zh-Hans"})
        EXPECT_EQ(MenuActions::helpPath({other, "de"}), "support/") << other;
    EXPECT_EQ(MenuActions::helpPath({}), "support/");
}

#include "MainMenuWidgetTest.moc"
