#include "EditorWidgetTestSupport.h"

#include "editor/EditorPage.h"
#include "editor/EditorTabHost.h"
#include "editor/EditorToolbar.h"
#include "editor/EditorView.h"
#include "editor/EditorWindowController.h"
#include "editor/EditorWindowSizing.h"
#include "editor/EditorZoom.h"
#include "editor/RecentDocuments.h"
#include "model/AnnotationStore.h"
#include "platform/Defaults.h"
#include "platform/ImagePrefetch.h"
#include "platform/PoolThreads.h"
#include "support/AddressSpace.h"
#include "ui/canvas/CanvasView.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QMainWindow>
#include <QMenuBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

#include <unistd.h>

using namespace snapkin;
using namespace snapkin::editortest;

namespace {

platform::BaseImage plainImage(QSize size)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::lightGray);
    return platform::BaseImage(image);
}

} // namespace

class EditorPages : public EditorWindowsTest {
protected:
    EditorPage* onlyPage()
    {
        const QList<EditorPage*> pages = editors().pages();
        return pages.size() == 1 ? pages.front() : nullptr;
    }

    EditorPage* openPlain(QSize size, const QString& title, QWidget* tabOf = nullptr)
    {
        EditorOpenOptions options;
        options.appliesRememberedFrame = false;
        options.tabOf = tabOf;
        AnnotationStore& store = editors().open(plainImage(size), title, options);
        return editors().pageOf(store);
    }
};

using EditorOpening = EditorPages;

TEST_F(EditorOpening, EveryPageOpenedGetsThePageHooksGivenBeforeIt)
{
    QList<EditorView*> attached;
    EditorViewHooks hooks;
    hooks.selectableText = [&](EditorView& view) { attached << &view; };
    openPlain({200, 100}, "Before");
    editors().setPageHooks(hooks);
    EditorPage* first = openPlain({200, 100}, "First");
    EditorPage* second = openPlain({200, 100}, "Second");
    editors().setPageHooks({});
    ASSERT_TRUE(first && second);
    EXPECT_EQ(attached, (QList<EditorView*>{first->view(), second->view()}));
}

TEST_F(EditorOpening, OnePagePerPackageHoweverThePathIsSpelled)
{
    const QString package = writePackage("Shot.snapkin");
    QDir(m_dir.path()).mkdir("sub");
    ASSERT_TRUE(editors().openFile(package));
    EditorPage* page = onlyPage();
    ASSERT_TRUE(page);
    EXPECT_EQ(page->store().documentURL(), QUrl::fromLocalFile(package));
    EXPECT_EQ(page->title(), "Shot.snapkin");
    EXPECT_EQ(page->store().annotations().size(), 1);
    EXPECT_FALSE(page->store().hasUnsavedChanges());
    EXPECT_EQ(page->window()->windowTitle(), QString::fromUtf8("Shot.snapkin — 8 × 6 px"));
    EXPECT_EQ(page->window()->windowFilePath(), package);
    // The history follows the document under its file name, from its first edit on.
    ASSERT_EQ(m_history.tracked.size(), 1);
    EXPECT_EQ(m_history.tracked[0].store, &page->store());
    EXPECT_EQ(m_history.tracked[0].title, "Shot.snapkin");
    EXPECT_TRUE(m_history.tracked[0].waitForChanges);

    EXPECT_TRUE(editors().openFile(m_dir.path() + "/./sub/../Shot.snapkin"));
    const QString previous = QDir::currentPath();
    QDir::setCurrent(m_dir.filePath("sub"));
    EXPECT_TRUE(editors().openFile("../Shot.snapkin"));
    QDir::setCurrent(previous);
    EXPECT_EQ(editors().pages().size(), 1);
    EXPECT_EQ(m_history.tracked.size(), 1);
    // Opened files are listed under Open Recent.
    const RecentDocuments recent;
    ASSERT_FALSE(recent.urls().isEmpty());
    EXPECT_EQ(recent.urls().first(), QUrl::fromLocalFile(package));
}

TEST_F(EditorOpening, DocumentsThatCannotBeHeldWholeOpenUnboundWithTheirOwnMessage)
{
    const QString newer =
        writePackage("Newer.snapkin", [](QJsonObject& json) { json["version"] = 2; });
    const QString partial = writePackage("Partial.snapkin", [](QJsonObject& json) {
        QJsonArray annotations = json["annotations"].toArray();
        annotations.append(
            QJsonObject{{"id", "0B1C2D3E-4F50-4617-8293-A4B5C6D7E8F9"}, {"kind", "hexagon"}});
        json["annotations"] = annotations;
    });
    AlertAnswerer alerts;

    ASSERT_TRUE(editors().openFile(newer));
    ASSERT_TRUE(editors().openFile(partial));
    ASSERT_EQ(alerts.seen().size(), 2);
    EXPECT_EQ(alerts.seen()[0].text, "This document comes from a newer version of Snapkin");
    EXPECT_EQ(alerts.seen()[1].text, "Some annotations couldn't be read");
    EXPECT_EQ(alerts.seen()[1].informativeText,
              "1 annotation couldn't be read and was left out, so the document was opened as a "
              "copy.");

    const QList<EditorPage*> pages = editors().pages();
    ASSERT_EQ(pages.size(), 2);
    EXPECT_EQ(pages[0]->title(), "Newer.snapkin");
    EXPECT_EQ(pages[1]->title(), "Partial.snapkin");
    for (EditorPage* page : pages) {
        EXPECT_TRUE(page->store().documentURL().isEmpty());
        EXPECT_TRUE(page->window()->windowFilePath().isEmpty());
    }
    // The readable annotation is kept.
    EXPECT_EQ(pages[1]->store().annotations().size(), 1);
}

TEST_F(EditorOpening, DamagedDocumentsAndUnreadableImagesAlertAndOpenNothing)
{
    const QString damaged =
        writePackage("Damaged.snapkin", [](QJsonObject& json) { json.remove("canvasSize"); });
    QFile broken(path("broken.png"));
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write("\x89PNG not really");
    broken.close();
    AlertAnswerer alerts;

    EXPECT_FALSE(editors().openFile(damaged));
    EXPECT_FALSE(editors().openFile(path("broken.png")));
    EXPECT_FALSE(editors().openFile(path("missing.png")));
    EXPECT_TRUE(editors().pages().isEmpty());
    ASSERT_EQ(alerts.seen().size(), 3);
    EXPECT_EQ(alerts.seen()[0].text, "Couldn't open the document");
    EXPECT_FALSE(alerts.seen()[0].informativeText.isEmpty());
    EXPECT_EQ(alerts.seen()[1].text, "Couldn't open the image");
    EXPECT_TRUE(alerts.seen()[1].informativeText.contains("broken.png"));
    EXPECT_TRUE(alerts.seen()[1].informativeText.contains("damaged"));
    EXPECT_TRUE(alerts.seen()[2].informativeText.contains("doesn't exist"));
    for (const auto& alert : alerts.seen())
        EXPECT_EQ(alert.icon, QMessageBox::Warning);
}

TEST_F(EditorOpening, APictureStillDecodingOpensAsOneOpenedPlainly)
{
    // Built while the decode runs, the page must show the picture from its first paint, in a
    // window of the same size and zoom as a page opened after the decode.
    QImage picture(1400, 900, QImage::Format_RGB32);
    picture.fill(QColor(0xd2, 0x34, 0x9a));
    picture.setPixel(0, 0, qRgb(1, 2, 3));
    ASSERT_TRUE(picture.save(path("early.png")));
    // The first window shown tells the frame's margins, which size every later one.
    ASSERT_TRUE(editors().openFile(path("early.png")));
    platform::ImagePrefetch::start(path("early.png"));
    ASSERT_TRUE(editors().openFile(path("early.png")));
    ASSERT_TRUE(editors().openFile(path("early.png"))); // no decode under way: opened plainly
    const QList<EditorPage*> pages = editors().pages();
    ASSERT_EQ(pages.size(), 3);
    EditorPage* early = pages[1];
    EditorPage* plain = pages[2];
    EXPECT_EQ(early->store().image().image(), plain->store().image().image());
    EXPECT_EQ(early->store().image().pointSize(), QSizeF(1400, 900));
    EXPECT_EQ(early->window()->windowTitle(), QString::fromUtf8("early.png — 1400 × 900 px"));
    EXPECT_EQ(early->window()->size(), plain->window()->size());
    EXPECT_DOUBLE_EQ(early->zoom().scale(), plain->zoom().scale());
    EXPECT_TRUE(early->window()->isVisible());
    const QImage shown = early->canvas()->grab().toImage();
    EXPECT_EQ(shown.pixelColor(shown.rect().center()), QColor(0xd2, 0x34, 0x9a));
    ASSERT_EQ(m_history.tracked.size(), 3);
    EXPECT_EQ(m_history.tracked[1].store, &early->store());
    EXPECT_FALSE(early->store().hasUnsavedChanges());
    EXPECT_FALSE(early->store().canUndo());
}

TEST_F(EditorOpening, APictureWhoseDecodeFailsLeavesNoWindowBehind)
{
    // The header declares a size, so a page is built while the decode runs; the pixels are
    // cut short, so the file is refused as before and the page goes unseen.
    QImage picture(400, 300, QImage::Format_RGB32);
    picture.fill(Qt::darkCyan);
    ASSERT_TRUE(picture.save(path("cut.png")));
    QFile file(path("cut.png"));
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_TRUE(file.resize(file.size() / 2));
    file.close();
    const auto editorWindows = [] {
        const QWidgetList windows = QApplication::topLevelWidgets();
        return std::count_if(windows.begin(), windows.end(),
                             [](QWidget* w) { return qobject_cast<EditorTabHost*>(w) != nullptr; });
    };
    const auto windowsBefore = editorWindows();
    AlertAnswerer alerts;

    platform::ImagePrefetch::start(path("cut.png"));
    EXPECT_FALSE(editors().openFile(path("cut.png")));
    EXPECT_TRUE(editors().pages().isEmpty());
    EXPECT_EQ(editorWindows(), windowsBefore);
    ASSERT_EQ(alerts.seen().size(), 1);
    EXPECT_EQ(alerts.seen()[0].text, "Couldn't open the image");
    EXPECT_TRUE(m_history.tracked.isEmpty());
}

// File ▸ Open of an image whose memory runs out on the way in (here the file's 27 MB, read
// whole, threw) into a running application: an alert says so in words, naming the file, and
// the application and the editor already open go on.
TEST_F(EditorOpening, AnImageTheMemoryCantHoldIsRefusedInWordsAndTheOtherEditorsStay)
{
    if (test::sanitized()) GTEST_SKIP() << "sanitizers reserve address space of their own";
    EditorPage* first = openPlain({300, 200}, "First");
    ASSERT_TRUE(first);
    QFile file(path("large.png"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(test::storedRgbPng(3000, 3000));
    file.close();
    const QString small = writeImage("small.png", {200, 100});

    // A child started afresh: a forked one would paint through Qt's pool threads, which a
    // fork leaves behind, and wait for them for ever.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(_exit([&] {
                    alarm(120); // a hang fails the test rather than the run
                    // Qt's pool threads, which paint, started while there is room, as at launch.
                    platform::reservePoolThreads();
                    if (!test::leaveAddressSpace(24LL * 1024 * 1024)) return 5;
                    AlertAnswerer alerts;
                    if (editors().openFile(path("large.png"))) return 6;
                    if (alerts.seen().size() != 1) return 7;
                    if (alerts.seen()[0].text != "Couldn't open the image") return 8;
                    if (alerts.seen()[0].informativeText !=
                        QString::fromUtf8("There isn't enough memory to open “large.png”."))
                        return 9;
                    if (editors().pages() != QList<EditorPage*>{first}) return 10;
                    // Whatever the decode took is given back: a picture that fits opens.
                    return editors().openFile(small) && editors().pages().size() == 2 ? 0 : 11;
                }()),
                ::testing::ExitedWithCode(0), "");
}

TEST_F(EditorOpening, ImageTitleFollowsEveryImageChangeAndIsTracked)
{
    ASSERT_TRUE(editors().openFile(writeImage("shot.png", {300, 200})));
    EditorPage* page = onlyPage();
    ASSERT_TRUE(page);
    QWidget* window = page->window();
    EXPECT_EQ(window->windowTitle(), QString::fromUtf8("shot.png — 300 × 200 px"));
    EXPECT_TRUE(window->windowFilePath().isEmpty());
    page->store().rotate(true);
    EXPECT_EQ(window->windowTitle(), QString::fromUtf8("shot.png — 200 × 300 px"));
    page->store().undo();
    EXPECT_EQ(window->windowTitle(), QString::fromUtf8("shot.png — 300 × 200 px"));

    ASSERT_EQ(m_history.tracked.size(), 1);
    EXPECT_EQ(m_history.tracked[0].store, &page->store());
    EXPECT_EQ(m_history.tracked[0].title, "shot.png");
    EXPECT_TRUE(m_history.tracked[0].waitForChanges);

    // Saving as a document binds the page: file name and path follow.
    page->store().setDocumentURL(QUrl::fromLocalFile(path("Saved.snapkin")));
    EXPECT_EQ(window->windowTitle(), QString::fromUtf8("Saved.snapkin — 300 × 200 px"));
    EXPECT_EQ(window->windowFilePath(), path("Saved.snapkin"));

    const AnnotationStore* store = &page->store();
    page->store().setHasUnsavedChanges(false);
    window->close();
    ASSERT_TRUE(waitUntil([this] { return editors().pages().isEmpty(); }));
    EXPECT_EQ(m_history.closed, QList<const AnnotationStore*>{store});
}

TEST_F(EditorOpening, SmallImageOpensAtActualSizeAndTheCanvasTakesTheKeyboard)
{
    AnnotationStore& store = editors().open(plainImage({100, 100}), "Small");
    EditorPage* page = editors().pageOf(store);
    ASSERT_TRUE(page);
    EXPECT_DOUBLE_EQ(page->zoom().scale(), 1.0);
    EXPECT_TRUE(waitUntil([&] { return page->canvas()->hasFocus(); }));
    // A capture gets the frame of new captures: none unless it is always applied.
    EXPECT_FALSE(store.frame().has_value());
}

TEST_F(EditorOpening, LookupsAcceptThePageTheWindowOrAWidgetInside)
{
    EditorPage* first = openPlain({200, 100}, "First");
    EditorPage* second = openPlain({200, 100}, "Second", first);
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->window(), second->window());
    EXPECT_EQ(editors().store(first), &first->store());
    EXPECT_EQ(editors().store(second->canvas()), &second->store());
    EXPECT_EQ(editors().store(first->window()), &second->store()); // the current tab
    EXPECT_EQ(editors().zoom(first), &first->zoom());
    EXPECT_EQ(editors().store(nullptr), nullptr);
    QWidget stranger;
    EXPECT_EQ(editors().store(&stranger), nullptr);

    second->store().setHasUnsavedChanges(true);
    first->store().setHasUnsavedChanges(true);
    EXPECT_EQ(editors().dirtyWindows(), (QList<EditorPage*>{first, second}));
}

TEST_F(EditorOpening, ActivateOrOpenBlankOpensOnlyWhenNothingIsOpen)
{
    editors().activateOrOpenBlank();
    ASSERT_EQ(editors().pages().size(), 1);
    EditorPage* blank = onlyPage();
    EXPECT_EQ(blank->title(), "Blank Canvas");
    EXPECT_EQ(blank->store().image().pixelSize(), QSize(1280, 800));
    EXPECT_EQ(blank->store().image().image().pixel(640, 400), qRgb(255, 255, 255));
    ASSERT_EQ(m_history.tracked.size(), 1);
    EXPECT_EQ(m_history.tracked[0].title, "Blank Canvas");

    editors().activateOrOpenBlank();
    EXPECT_EQ(editors().pages().size(), 1);
}

TEST_F(EditorOpening, AWindowDeletedOutrightLeavesNoSlot)
{
    auto& settings = platform::Defaults::standard();
    settings.setValue("showInDock", false);
    settings.setValue("showInMenuBar", false);
    delete openPlain({200, 100}, "Gone")->window();
    EXPECT_TRUE(editors().pages().isEmpty());
    // The next page to close is the last one.
    openPlain({200, 100}, "Last")->window()->close();
    ASSERT_TRUE(waitUntil([this] { return editors().pages().isEmpty(); }));
    EXPECT_TRUE(settings.boolForKey("showInMenuBar"));
}

using EditorTabs = EditorPages;

TEST_F(EditorTabs, PlusAddsABlankCanvasTabAndShowsTheTabBar)
{
    EditorPage* first = openPlain({640, 400}, "First");
    auto* host = first->host();
    ASSERT_TRUE(host);
    EXPECT_FALSE(host->tabs()->tabBar()->isVisible());

    editors().openBlank(first);
    ASSERT_EQ(host->pageCount(), 2);
    EXPECT_TRUE(host->tabs()->tabBar()->isVisible());
    ASSERT_TRUE(host->newTabButton()->isVisible());
    QTest::qWait(50);
    host->grab().save(picturePath("editor-two-tabs.png"));

    host->newTabButton()->click();
    ASSERT_EQ(host->pageCount(), 3);
    EXPECT_EQ(host->currentPage()->title(), "Blank Canvas");
    EXPECT_EQ(host->tabs()->tabText(2), "Blank Canvas");
    EXPECT_EQ(editors().pages().size(), 3);
}

// A page's New Capture menu opens its blank canvas among the editors that made the page; other
// editors neither list it nor answer for its window.
TEST_F(EditorTabs, BlankCanvasFromAPageOpensAmongThePagesOwnEditors)
{
    EditorWindowController others;
    EditorPage* first = openPlain({200, 100}, "First");
    ASSERT_NE(first, nullptr);
    auto* button = qobject_cast<QToolButton*>(first->view()->toolbar()->itemWidget("newCapture"));
    ASSERT_NE(button, nullptr);
    QAction* blank = nullptr;
    for (QAction* entry : button->menu()->actions())
        if (entry->text() == "Blank Canvas") blank = entry;
    ASSERT_NE(blank, nullptr);

    blank->trigger();
    ASSERT_EQ(editors().pages().size(), 2);
    EXPECT_EQ(editors().pages().last()->title(), "Blank Canvas");
    EXPECT_TRUE(others.pages().isEmpty());
    EXPECT_EQ(others.page(first->window()), nullptr);
    EXPECT_EQ(others.store(editors().pages().last()), nullptr);
}

TEST_F(EditorTabs, JoiningAWindowRefitsTheZoomToItsPageArea)
{
    EditorPage* first = openPlain({100, 100}, "Small");
    const QSize big(3000, 2000);
    EditorPage* tab = openPlain(big, "Big", first);
    const double chrome =
        editorsizing::chromeHeight(platform::Defaults::standard()) + EditorView::toolbarAreaHeight;
    const double expected =
        editorsizing::initialZoom(QSizeF(big), tab->host()->pageAreaSize(), chrome);
    EXPECT_DOUBLE_EQ(tab->zoom().scale(), expected);
    EXPECT_LT(expected, 0.5);
    EXPECT_DOUBLE_EQ(tab->canvas()->zoom(), expected);
}

TEST_F(EditorTabs, ClosingATabAsksOnlyForIt)
{
    EditorPage* first = openPlain({200, 100}, "First");
    EditorPage* second = openPlain({200, 100}, "Second", first);
    first->store().setHasUnsavedChanges(true);
    second->store().setHasUnsavedChanges(true);
    AlertAnswerer alerts;
    alerts.then(AlertAnswerer::key(Qt::Key_D, Qt::ControlModifier));

    emit first->host()->tabs()->tabCloseRequested(1);
    EXPECT_EQ(alerts.seen().size(), 1);
    ASSERT_TRUE(waitUntil([this] { return editors().pages().size() == 1; }));
    EXPECT_EQ(onlyPage(), first);
    EXPECT_TRUE(first->store().hasUnsavedChanges());
    EXPECT_EQ(first->host()->pageCount(), 1);
    EXPECT_FALSE(first->host()->tabs()->tabBar()->isVisible());
}

TEST_F(EditorTabs, ClosingTheWindowAsksPageByPageAndStopsAtTheFirstThatStays)
{
    EditorPage* clean = openPlain({200, 100}, "Clean");
    EditorPage* kept = openPlain({200, 100}, "Kept", clean);
    EditorPage* never = openPlain({200, 100}, "Never asked", clean);
    kept->store().setHasUnsavedChanges(true);
    never->store().setHasUnsavedChanges(true);
    QWidget* window = clean->window();
    AlertAnswerer alerts;
    alerts.then(AlertAnswerer::key(Qt::Key_Escape));

    EXPECT_FALSE(window->close());
    EXPECT_EQ(alerts.seen().size(), 1);
    ASSERT_TRUE(waitUntil([this] { return editors().pages().size() == 2; }));
    EXPECT_EQ(editors().pages(), (QList<EditorPage*>{kept, never}));
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(kept->host()->currentPage(), kept);
}

using EditorClosing = EditorPages;

TEST_F(EditorClosing, CleanPageClosesWithoutAsking)
{
    EditorPage* page = openPlain({200, 100}, "Clean");
    AlertAnswerer alerts;
    EXPECT_TRUE(page->window()->close());
    EXPECT_TRUE(alerts.seen().isEmpty());
    EXPECT_TRUE(waitUntil([this] { return editors().pages().isEmpty(); }));
}

TEST_F(EditorClosing, EscapeKeepsTheDirtyPageAndCtrlDDiscards)
{
    EditorPage* page = openPlain({200, 100}, "Dirty");
    page->store().setHasUnsavedChanges(true);
    QPointer<QWidget> window = page->window();
    AlertAnswerer alerts;
    alerts.then(
        AlertAnswerer::grabThen("unsaved-changes-alert.png", AlertAnswerer::key(Qt::Key_Escape)));
    alerts.then(AlertAnswerer::key(Qt::Key_D, Qt::ControlModifier));

    EXPECT_FALSE(window->close());
    ASSERT_EQ(alerts.seen().size(), 1);
    EXPECT_EQ(alerts.seen()[0].text, "Do you want to save your annotations?");
    EXPECT_EQ(alerts.seen()[0].informativeText,
              "Your changes will be lost if you don't save them.");
    EXPECT_EQ(onlyPage(), page);
    EXPECT_TRUE(page->store().hasUnsavedChanges());

    EXPECT_TRUE(window->close());
    EXPECT_EQ(alerts.seen().size(), 2);
    EXPECT_TRUE(waitUntil([&] { return editors().pages().isEmpty() && window.isNull(); }));
    EXPECT_EQ(m_history.closed.size(), 1);
}

TEST_F(EditorClosing, QuittingStopsAtTheFirstPageThatStays)
{
    EditorPage* first = openPlain({200, 100}, "One");
    EditorPage* second = openPlain({200, 100}, "Two");
    EditorPage* third = openPlain({200, 100}, "Three");
    EditorPage* clean = openPlain({200, 100}, "Clean");
    for (EditorPage* page : {first, second, third})
        page->store().setHasUnsavedChanges(true);
    AlertAnswerer alerts;
    alerts.then(AlertAnswerer::key(Qt::Key_D, Qt::ControlModifier));
    alerts.then(AlertAnswerer::key(Qt::Key_Escape));

    EXPECT_FALSE(editors().mayQuit());
    EXPECT_EQ(alerts.seen().size(), 2);
    // "Don't Save" counted only for a quit that went on: the first page still asks.
    EXPECT_TRUE(first->store().hasUnsavedChanges());
    EXPECT_TRUE(second->store().hasUnsavedChanges());
    EXPECT_TRUE(third->store().hasUnsavedChanges());
    EXPECT_EQ(alerts.seen()[0].parent, first->window());
    EXPECT_EQ(alerts.seen()[1].parent, second->window());
    EXPECT_EQ(editors().pages().size(), 4); // quitting closes nothing by itself
    Q_UNUSED(clean);

    for (EditorPage* page : {first, second, third})
        page->store().setHasUnsavedChanges(false);
    EXPECT_TRUE(editors().mayQuit());
    EXPECT_EQ(alerts.seen().size(), 2);
}

TEST_F(EditorClosing, AfterTheLastPageOneWayOfReachingTheAppStaysOn)
{
    auto& settings = platform::Defaults::standard();
    settings.setValue("showInDock", false);
    settings.setValue("showInMenuBar", false);
    EditorPage* first = openPlain({200, 100}, "First");
    EditorPage* second = openPlain({200, 100}, "Second");
    first->window()->close();
    ASSERT_TRUE(waitUntil([this] { return editors().pages().size() == 1; }));
    EXPECT_FALSE(settings.boolForKey("showInMenuBar")); // not the last one yet
    second->window()->close();
    ASSERT_TRUE(waitUntil([this] { return editors().pages().isEmpty(); }));
    EXPECT_TRUE(settings.boolForKey("showInMenuBar"));

    settings.setValue("showInDock", true);
    settings.setValue("showInMenuBar", false);
    openPlain({200, 100}, "Again")->window()->close();
    ASSERT_TRUE(waitUntil([this] { return editors().pages().isEmpty(); }));
    EXPECT_FALSE(settings.boolForKey("showInMenuBar"));
}

TEST_F(EditorOpening, AWindowWithAMenuBarLeavesThePageItsMinimumAsFarAsTheScreenAllows)
{
    editors().setWindowDecorator([](QMainWindow& window) {
        window.menuBar()->addMenu(QStringLiteral("File"))->addAction(QStringLiteral("Quit"));
    });
    EditorPage* page = openPlain({100, 80}, "Small");
    editors().setWindowDecorator({});
    ASSERT_TRUE(page);
    EditorTabHost* host = page->host();
    ASSERT_TRUE(host->menuBar()->isVisible());
    // The page gets its full minimum below the menu bar where the screen has room for it;
    // on a smaller screen the page gives way and the window still fits.
    const QSize largest = editorsizing::largestContentSize(host->screen()->availableGeometry(), {});
    const int bar = host->menuBar()->sizeHint().height();
    const QSize area = host->pageAreaSize();
    const QSize minimum = EditorView::minimumContentSize;
    EXPECT_GE(area.height(), std::min(minimum.height(), largest.height() - bar));
    EXPECT_GE(area.width(), std::min(minimum.width(), largest.width()));
    EXPECT_LE(host->width(), largest.width());
    EXPECT_LE(host->height(), largest.height());
    // The page's own bars fit inside it: nothing is cut off at its foot.
    EXPECT_LE(page->view()->minimumSize().height(), area.height());
}
