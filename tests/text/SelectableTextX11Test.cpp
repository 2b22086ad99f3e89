// Selectable Text on a real X server, driven with the real pointer and keyboard: the words
// follow the image through edits, Ctrl+C copies the selected words however they were
// selected, and the pointer turns into a text pointer over words.

#include "../capture/X11Support.h"
#include "TestPaths.h"

#include "editor/EditorPage.h"
#include "editor/EditorView.h"
#include "editor/EditorWindowController.h"
#include "model/AnnotationStore.h"
#include "platform/Defaults.h"
#include "platform/ScreenCapture.h"
#include "text/LinkToast.h"
#include "text/RecognitionImagesSupport.h"
#include "text/SelectableText.h"
#include "text/SelectableTextOverlay.h"
#include "text/TextServices.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <xcb/xcb.h>
#include <xcb/xfixes.h>

#include <cstdlib>
#include <vector>

using namespace snapkin;
using Status = SelectableTextModel::Status;

namespace {

const QString allLines =
    QStringLiteral("Alpha bravo charlie\nDelta echo foxtrot\nGolf hotel india\nJuliet kilo lima");
const QString lastThree = QStringLiteral("Delta echo foxtrot\nGolf hotel india\nJuliet kilo lima");

// Four lines of large dark text on white; the first line ends above y = 100.
QImage fourLines()
{
    QImage image = snapkin::testing::whitePage(QSize(900, 420));
    const QStringList lines = allLines.split('\n');
    for (int i = 0; i < lines.size(); ++i)
        snapkin::testing::drawText(image, QPoint(40, 75 + 95 * i), lines[i], 40);
    return image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

void xdotool(const QStringList& arguments)
{
    QProcess::execute("xdotool", arguments);
}

// Moves the real pointer and lets the application see the move: moves that pile up are merged,
// and one that ends where the last seen move did is dropped.
void moveTo(QPoint global)
{
    xdotool({"mousemove", QString::number(global.x()), QString::number(global.y())});
    QTest::qWait(100);
}

// What another program reads from the clipboard as text. The event loop runs meanwhile, so
// this process can answer as the clipboard's owner.
QString clipboardText()
{
    QProcess xclip;
    xclip.start("xclip", {"-selection", "clipboard", "-o"});
    test::waitUntil([&] { return xclip.state() == QProcess::NotRunning; }, 5000);
    if (xclip.state() != QProcess::NotRunning) {
        xclip.kill();
        xclip.waitForFinished(1000);
        return {};
    }
    return QString::fromUtf8(xclip.readAllStandardOutput()).trimmed();
}

bool clipboardBecomes(const QString& expected)
{
    return test::waitUntil([&] { return clipboardText() == expected; }, 5000);
}

// The pointer's cursor as the server shows it, through XFixes.
struct CursorPicture {
    int width = 0;
    int height = 0;
    int xhot = 0;
    int yhot = 0;
    std::vector<std::uint32_t> pixels;
    friend bool operator==(const CursorPicture&, const CursorPicture&) = default;
};

CursorPicture shownCursor()
{
    CursorPicture picture;
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c)) {
        xcb_disconnect(c);
        return picture;
    }
    std::free(xcb_xfixes_query_version_reply(c, xcb_xfixes_query_version(c, 4, 0), nullptr));
    if (auto* reply =
            xcb_xfixes_get_cursor_image_reply(c, xcb_xfixes_get_cursor_image(c), nullptr)) {
        picture.width = reply->width;
        picture.height = reply->height;
        picture.xhot = reply->xhot;
        picture.yhot = reply->yhot;
        const std::uint32_t* data = xcb_xfixes_get_cursor_image_cursor_image(reply);
        picture.pixels.assign(data, data + xcb_xfixes_get_cursor_image_cursor_image_length(reply));
        std::free(reply);
    }
    xcb_disconnect(c);
    return picture;
}

// The cursor once it has stayed the same for a moment after a pointer move.
CursorPicture settledCursor()
{
    CursorPicture last = shownCursor();
    for (int i = 0; i < 20; ++i) {
        QTest::qWait(60);
        const CursorPicture now = shownCursor();
        if (now == last && i >= 2) break;
        last = now;
    }
    return last;
}

// One editor window over the four lines, with Selectable Text on and the select tool.
struct Editor {
    test::WindowManager wm;
    DesktopLinkOpening links;
    EditorWindowController editors;
    AnnotationStore* store = nullptr;
    EditorPage* page = nullptr;
    SelectableText* text = nullptr;

    explicit Editor(const QImage& image = fourLines())
    {
        platform::Defaults::standard().removeAllStored();
        platform::Defaults::standard().setValue("selectableTextEnabled", true);
        editors.setPageHooks(editorTextHooks(nullptr, links));
        store =
            &editors.open(platform::BaseImage(image), "Lines", {.appliesRememberedFrame = false});
        store->activate(Tool::select);
        page = editors.pageOf(*store);
        if (!page) return;
        text = SelectableText::of(*page->view());
        (void)QTest::qWaitForWindowExposed(page->window());
        xdotool({"windowactivate", "--sync", QString::number(page->window()->winId())});
    }
    ~Editor()
    {
        editors.setPageHooks({});
        for (EditorPage* open : editors.pages())
            open->store().setHasUnsavedChanges(false);
        for (EditorPage* open : editors.pages())
            open->window()->close();
        EXPECT_TRUE(QTest::qWaitFor([&] { return editors.pages().isEmpty(); }, 5000));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        platform::Defaults::standard().removeAllStored();
    }

    SelectableTextOverlay* overlay() const { return text->overlay(); }

    // Waits for an analysis with text that the overlay shows and the page has laid out.
    bool ready() const
    {
        return test::waitUntil(
            [&] {
                return text->model().status() == Status::ready(true) &&
                       overlay()->analysis() == text->model().analysis() &&
                       overlay()->copyAllButton()->isVisible();
            },
            30000);
    }

    int word(const QString& w) const
    {
        const auto& words = overlay()->analysis()->words;
        for (int i = 0; i < int(words.size()); ++i)
            if (words[i].text == w) return i;
        return -1;
    }
    QPoint globalOf(QPointF overlayPoint) const
    {
        return overlay()->mapToGlobal(overlayPoint.toPoint());
    }
    QPoint wordCentre(int index) const { return globalOf(overlay()->wordRect(index).center()); }
    // A point of the image well away from every line of text.
    QPoint bareCanvas() const
    {
        return globalOf(QPointF(overlay()->width() * 0.93, overlay()->height() * 0.96));
    }
};

// How much of a screen rectangle is tinted with the selection colour (blue above red), and how
// much of it is dark text.
struct Shown {
    double tinted = 0;
    double dark = 0;
};

Shown shownAt(QRect global)
{
    Shown shown;
    const auto screen = platform::ScreenCapture::grabScreenRect(global);
    if (!screen || screen->isNull()) return shown;
    const QImage image = screen->convertToFormat(QImage::Format_RGB32);
    int tinted = 0, dark = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.lightness() < 100)
                ++dark;
            else if (c.blue() > c.red() + 12)
                ++tinted;
        }
    }
    const double all = double(image.width()) * image.height();
    shown.tinted = tinted / all;
    shown.dark = dark / all;
    return shown;
}

// After an edit: "Copy All Text" gives `expected`, and hovering `hoverWord` tints that very word
// on screen.
void expectWordsFollow(Editor& editor, const QString& expected, const QString& hoverWord,
                       const QString& step)
{
    SCOPED_TRACE(step.toStdString());
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(editor.ready());
    QPushButton* copyAll = editor.overlay()->copyAllButton();
    moveTo(copyAll->mapToGlobal(copyAll->rect().center()));
    QTest::qWait(100);
    xdotool({"click", "1"});
    EXPECT_TRUE(clipboardBecomes(expected)) << clipboardText().toStdString();
    std::printf("[ %s ] the new words copied %lld ms after the edit\n", qPrintable(step),
                clock.elapsed());

    const int index = editor.word(hoverWord);
    ASSERT_GE(index, 0);
    const QRect box = QRect(editor.globalOf(editor.overlay()->wordRect(index).topLeft()),
                            editor.overlay()->wordRect(index).size().toSize());
    moveTo(editor.bareCanvas());
    ASSERT_TRUE(test::waitUntil([&] { return editor.overlay()->hoveredWord() < 0; }));
    QTest::qWait(150);
    const Shown before = shownAt(box);
    moveTo(editor.wordCentre(index));
    ASSERT_TRUE(test::waitUntil([&] { return editor.overlay()->hoveredWord() == index; }));
    QTest::qWait(150);
    const Shown after = shownAt(box);
    // The box holds the word's letters, and hovering tints it.
    EXPECT_GT(before.dark, 0.08) << "no text under the word's box";
    EXPECT_LT(before.tinted, 0.05);
    EXPECT_GT(after.tinted, 0.3);
    editor.page->window()->grab().save(
        QStringLiteral(SNAPKIN_BUILD_DIR "/selectable-text-%1.png").arg(step));
    moveTo(editor.bareCanvas());
}

} // namespace

TEST(SelectableTextX11, WordsFollowTheImageThroughCropResizeAndRotate)
{
    Editor editor;
    ASSERT_NE(editor.text, nullptr);
    ASSERT_TRUE(editor.wm.running());
    ASSERT_TRUE(editor.ready());

    // Crop away the first line.
    AnnotationStore& store = *editor.store;
    store.beginCrop();
    store.setCropRect(QRectF(0, 110, 900, 310));
    store.applyCrop();
    ASSERT_EQ(store.image().pixelSize(), QSize(900, 310));
    expectWordsFollow(editor, lastThree, "echo", "crop");

    store.resize(450, 155);
    ASSERT_EQ(store.image().pixelSize(), QSize(450, 155));
    expectWordsFollow(editor, lastThree, "echo", "resize");

    // A quarter turn and back: the words are those of the image after the second turn.
    store.rotate(true);
    store.rotate(false);
    expectWordsFollow(editor, lastThree, "echo", "rotate");
}

TEST(SelectableTextX11, CtrlCCopiesWordsSelectedFromTheContextMenu)
{
    Editor editor;
    ASSERT_NE(editor.text, nullptr);
    ASSERT_TRUE(editor.ready());
    SelectableTextOverlay* overlay = editor.overlay();

    // Right-click a word, choose Select All, press Ctrl+C.
    moveTo(editor.wordCentre(editor.word("echo")));
    QTest::qWait(150);
    xdotool({"click", "3"});
    QMenu* menu = nullptr;
    ASSERT_TRUE(test::waitUntil([&] {
        menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        return menu && menu->isVisible();
    }));
    QAction* selectAll = menu->actions().value(1);
    ASSERT_NE(selectAll, nullptr);
    ASSERT_EQ(selectAll->text(), QStringLiteral("Select All"));
    QTest::qWait(200);
    moveTo(menu->mapToGlobal(menu->actionGeometry(selectAll).center()));
    QTest::qWait(150);
    xdotool({"click", "1"});
    ASSERT_TRUE(test::waitUntil([&] { return !QApplication::activePopupWidget(); }));
    EXPECT_EQ(overlay->selectedText(), allLines);
    xdotool({"key", "ctrl+c"});
    EXPECT_TRUE(clipboardBecomes(allLines)) << clipboardText().toStdString();

    // Escape ends the selection; a right-click on a word selects it, and Ctrl+C copies it.
    xdotool({"key", "Escape"});
    ASSERT_TRUE(test::waitUntil([&] { return !overlay->hasSelection(); }));
    moveTo(editor.wordCentre(editor.word("hotel")));
    QTest::qWait(150);
    xdotool({"click", "3"});
    ASSERT_TRUE(test::waitUntil([&] { return QApplication::activePopupWidget() != nullptr; }));
    EXPECT_EQ(overlay->selectedText(), QStringLiteral("hotel"));
    xdotool({"key", "Escape"});
    ASSERT_TRUE(test::waitUntil([&] { return !QApplication::activePopupWidget(); }));
    QTest::qWait(100);
    xdotool({"key", "ctrl+c"});
    EXPECT_TRUE(clipboardBecomes(QStringLiteral("hotel"))) << clipboardText().toStdString();
}

TEST(SelectableTextX11, TextPointerOverWordsWithTheSelectToolOnly)
{
    Editor editor;
    ASSERT_NE(editor.text, nullptr);
    ASSERT_TRUE(editor.ready());
    const QPoint word = editor.wordCentre(editor.word("foxtrot"));

    moveTo(editor.bareCanvas());
    const CursorPicture bare = settledCursor();
    moveTo(word);
    ASSERT_TRUE(test::waitUntil([&] { return editor.overlay()->hoveredWord() >= 0; }));
    const CursorPicture onWord = settledCursor();
    ASSERT_GT(bare.width, 0);
    EXPECT_NE(onWord, bare);
    moveTo(editor.bareCanvas());
    EXPECT_EQ(settledCursor(), bare);

    // Another tool keeps its own cursor over words.
    editor.store->activate(Tool::rectangle);
    QTest::qWait(100);
    moveTo(editor.bareCanvas());
    const CursorPicture tool = settledCursor();
    moveTo(word);
    EXPECT_EQ(settledCursor(), tool);

    // With Selectable Text off, the select tool's arrow over the word again.
    editor.store->activate(Tool::select);
    moveTo(editor.bareCanvas());
    moveTo(word);
    ASSERT_TRUE(test::waitUntil([&] { return editor.overlay()->hoveredWord() >= 0; }));
    EXPECT_EQ(settledCursor(), onWord);
    platform::Defaults::standard().setValue("selectableTextEnabled", false);
    EXPECT_EQ(settledCursor(), bare);
    moveTo(editor.bareCanvas());
    moveTo(word);
    EXPECT_EQ(settledCursor(), bare);
}

// A click on a recognised web address hands it to the desktop (xdg-open, here a script that
// records what it was given); the hovered address is underlined under the pointing hand.
TEST(SelectableTextX11, AClickOnARecognisedWebAddressOpensIt)
{
    QTemporaryDir bin;
    ASSERT_TRUE(bin.isValid());
    const QString record = bin.filePath("opened.txt");
    {
        QFile script(bin.filePath("xdg-open"));
        ASSERT_TRUE(script.open(QIODevice::WriteOnly));
        script.write(
            QStringLiteral("#!/bin/sh\nprintf '%s\\n' \"$*\" >> '%1'\n").arg(record).toUtf8());
        script.close();
        script.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                              QFileDevice::ExeOwner);
    }
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", bin.path().toUtf8() + ':' + path);

    QImage image = snapkin::testing::whitePage(QSize(900, 260));
    snapkin::testing::drawText(image, QPoint(40, 90), "Read https://example.org/guide now", 40);
    snapkin::testing::drawText(image, QPoint(40, 190), "Golf hotel india", 40);
    Editor editor(image.convertToFormat(QImage::Format_ARGB32_Premultiplied));
    ASSERT_NE(editor.text, nullptr);
    ASSERT_TRUE(editor.ready());
    const int link = editor.word("https://example.org/guide");
    ASSERT_GE(link, 0) << editor.overlay()->analysis()->allText().toStdString();

    moveTo(editor.bareCanvas());
    const CursorPicture bare = settledCursor();
    moveTo(editor.wordCentre(editor.word("hotel")));
    const CursorPicture onWord = settledCursor();
    moveTo(editor.wordCentre(link));
    ASSERT_TRUE(test::waitUntil([&] { return editor.overlay()->hoveredWord() == link; }));
    const CursorPicture onLink = settledCursor();
    EXPECT_NE(onLink, bare);
    EXPECT_NE(onLink, onWord);
    editor.page->window()->grab().save(
        QStringLiteral(SNAPKIN_BUILD_DIR "/selectable-text-hovered-link.png"));

    xdotool({"click", "1"});
    const bool opened = test::waitUntil([&] { return QFileInfo::exists(record); }, 10000);
    qputenv("PATH", path);
    ASSERT_TRUE(opened);
    auto recorded = [&] {
        QFile file(record);
        return file.open(QIODevice::ReadOnly) ? file.readAll().trimmed() : QByteArray();
    };
    EXPECT_TRUE(test::waitUntil([&] { return recorded() == "https://example.org/guide"; }))
        << recorded().toStdString();
    EXPECT_FALSE(editor.overlay()->hasSelection());
}
