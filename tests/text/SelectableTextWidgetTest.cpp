#include "text/LinkToast.h"

#include "output/ExportService.h"
#include "text/SelectableText.h"
#include "text/SelectableTextModel.h"
#include "text/SelectableTextOverlay.h"
#include "text/SelectableTextStatusBadge.h"
#include "text/TextServices.h"
#include "ui/output/ExportDialogs.h"

#include "text/RecognitionImagesSupport.h"

#include "TestPaths.h"
#include "editor/EditorCanvasArea.h"
#include "editor/EditorView.h"
#include "editor/EditorViewHooks.h"
#include "editor/EditorZoom.h"
#include "editor/FramedCanvas.h"
#include "model/AnnotationStore.h"
#include "platform/Defaults.h"
#include "support/RecordingAnnouncer.h"
#include "ui/canvas/CanvasView.h"
#include "ui/platform/Announcer.h"

#include <QClipboard>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QHoverEvent>
#include <QMenu>
#include <QPromise>
#include <QPushButton>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest/QTest>

#include <gtest/gtest.h>

#include <memory>

using namespace snapkin;
using Status = SelectableTextModel::Status;

namespace {

using test::RecordingAnnouncer;

// An analyser whose results the test hands out.
struct ScriptedAnalyzer {
    std::vector<std::shared_ptr<QPromise<SelectableTextModel::Result>>> promises;
    SelectableTextModel::Analyze function()
    {
        return [this](const QImage&) {
            auto promise = std::make_shared<QPromise<SelectableTextModel::Result>>();
            promise->start();
            promises.push_back(promise);
            return promise->future();
        };
    }
    void finish(std::size_t index, SelectableTextModel::Result result)
    {
        promises.at(index)->addResult(std::move(result));
        promises.at(index)->finish();
    }
};

TextAnalysis oneWord()
{
    TextAnalysis analysis;
    analysis.words = {{"word", QRectF(0.1, 0.1, 0.2, 0.1), 0}};
    analysis.lines = {{QRectF(0.1, 0.1, 0.2, 0.1), 0, 1}};
    return analysis;
}

QImage twoLines()
{
    QImage image = snapkin::testing::whitePage(QSize(520, 200));
    snapkin::testing::drawText(image, QPoint(30, 70), "Quick brown foxes", 26);
    snapkin::testing::drawText(image, QPoint(30, 140), "jump over dogs", 26);
    return image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

struct RecordingOpener : LinkOpening {
    void open(const QUrl& url) override { opened.append(url); }
    QList<QUrl> opened;
};

// An editor page over the two-line image with Selectable Text on; its clicked links are
// recorded in `links`.
struct Page {
    explicit Page(const QImage& image = twoLines())
    {
        platform::Defaults::standard().removeAllStored();
        platform::Defaults::standard().setValue("selectableTextEnabled", true);
        store = std::make_unique<AnnotationStore>(platform::BaseImage(image));
        store->activate(Tool::select);
        view = std::make_unique<EditorView>(*store, zoom, dialogs, editorTextHooks(nullptr, links));
        view->resize(900, 700);
        view->show();
        text = SelectableText::of(*view);
    }
    ~Page()
    {
        view.reset();
        platform::Defaults::standard().removeAllStored();
    }
    SelectableTextOverlay* overlay() const { return text->overlay(); }
    QWidget* canvas() const { return view->canvasArea()->framedCanvas()->canvas(); }
    // A point of the overlay in the canvas view's coordinates.
    QPoint onCanvas(QPointF overlayPoint) const
    {
        return (overlayPoint -
                QPointF(canvas()->mapTo(view->canvasArea()->framedCanvas(), QPoint(0, 0))))
            .toPoint();
    }
    int wordIndex(const QString& word) const
    {
        const auto& words = overlay()->analysis()->words;
        for (int i = 0; i < int(words.size()); ++i) {
            if (words[i].text == word) return i;
        }
        return -1;
    }

    RecordingOpener links;
    std::unique_ptr<AnnotationStore> store;
    EditorZoom zoom;
    ExportService exports;
    ExportDialogs dialogs{exports};
    std::unique_ptr<EditorView> view;
    SelectableText* text = nullptr;
};

} // namespace

TEST(SelectableTextModel, WaitsBeforeAnalysingAndABurstOfStartsAnalysesOnce)
{
    ScriptedAnalyzer analyzer;
    SelectableTextModel model(analyzer.function());
    QList<Status> statuses;
    QObject::connect(&model, &SelectableTextModel::statusChanged,
                     [&](const Status& status) { statuses.append(status); });
    model.start(QImage(10, 10, QImage::Format_RGB32), 1);
    // Halfway through the wait, without running the event loop: on a loaded machine a pause
    // that does could outlast the whole wait and start an analysis in between.
    QThread::msleep(SelectableTextModel::debounceMs / 2);
    model.stop();
    QElapsedTimer sinceRestart;
    sinceRestart.start();
    model.start(QImage(10, 10, QImage::Format_RGB32), 1);
    EXPECT_TRUE(analyzer.promises.empty());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !analyzer.promises.empty(); }));
    // The wait starts afresh (a coarse timer may fire up to 5% early).
    EXPECT_GE(sinceRestart.elapsed(), SelectableTextModel::debounceMs * 95 / 100);
    EXPECT_EQ(model.status(), Status::analyzing());
    analyzer.finish(0, oneWord());
    ASSERT_TRUE(QTest::qWaitFor([&] { return model.status() == Status::ready(true); }));
    EXPECT_EQ(analyzer.promises.size(), 1u);
    ASSERT_TRUE(model.analysis());
    EXPECT_EQ(model.analysis()->allText(), QStringLiteral("word"));

    // The same image again takes the analysis it has without recognising anew.
    const auto first = model.analysis();
    model.stop();
    EXPECT_EQ(model.analysis(), nullptr);
    model.start(QImage(10, 10, QImage::Format_RGB32), 1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return model.status() == Status::ready(true); }));
    EXPECT_EQ(model.analysis(), first);
    EXPECT_EQ(analyzer.promises.size(), 1u);
}

TEST(SelectableTextModel, StopDropsARunningAnalysisAndItsLateResult)
{
    ScriptedAnalyzer analyzer;
    SelectableTextModel model(analyzer.function());
    model.start(QImage(10, 10, QImage::Format_RGB32), 7);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !analyzer.promises.empty(); }));
    model.stop();
    EXPECT_TRUE(analyzer.promises[0]->isCanceled());
    analyzer.finish(0, oneWord());
    QTest::qWait(50);
    EXPECT_EQ(model.status(), Status::off());
    EXPECT_EQ(model.analysis(), nullptr);
    EXPECT_FALSE(model.isBusy());
}

TEST(SelectableTextModel, IsUnsupportedWithoutRecognitionLanguages)
{
    QTemporaryDir empty;
    const QByteArray previous = qgetenv("TESSDATA_PREFIX");
    qputenv("TESSDATA_PREFIX", empty.path().toUtf8());
    SelectableTextModel model;
    model.start(twoLines(), 99);
    const bool unsupported =
        QTest::qWaitFor([&] { return model.status() == Status::unsupported(); }, 10000);
    if (previous.isNull()) {
        qunsetenv("TESSDATA_PREFIX");
    } else {
        qputenv("TESSDATA_PREFIX", previous);
    }
    EXPECT_TRUE(unsupported);
    EXPECT_EQ(model.analysis(), nullptr);
}

TEST(SelectableTextStatusBadge, NotesNoTextForThreeSecondsOnceAndNotWhenCreatedThatWay)
{
    RecordingAnnouncer announcer;
    QWidget area;
    area.resize(600, 400);
    SelectableTextStatusBadge quiet(Status::ready(false), &area);
    EXPECT_TRUE(quiet.text().isEmpty());
    EXPECT_TRUE(announcer.said.isEmpty());

    SelectableTextStatusBadge badge(Status::off(), &area);
    EXPECT_TRUE(badge.text().isEmpty());
    badge.setStatus(Status::analyzing());
    EXPECT_EQ(badge.text(), QStringLiteral("Analyzing text…"));
    badge.setStatus(Status::ready(true));
    EXPECT_TRUE(badge.text().isEmpty());
    QElapsedTimer sinceNoText;
    sinceNoText.start();
    badge.setStatus(Status::ready(false));
    EXPECT_EQ(badge.text(), QStringLiteral("No text in this image"));
    EXPECT_EQ(announcer.said, QStringList{"No text in this image"});
    // Shown for the whole time, measured by the clock rather than by a pause that a loaded
    // machine could stretch past it.
    EXPECT_TRUE(QTest::qWaitFor([&] { return badge.text().isEmpty(); }, 15000));
    EXPECT_GE(sinceNoText.elapsed(), SelectableTextStatusBadge::noTextMs);
    EXPECT_EQ(announcer.said.size(), 1);

    badge.setStatus(Status::unsupported());
    EXPECT_TRUE(badge.text().startsWith(QStringLiteral("Selectable Text isn't available")));
    EXPECT_TRUE(badge.testAttribute(Qt::WA_TransparentForMouseEvents));
}

TEST(SelectableTextOverlay, HoverDragAcrossLinesCopyAndCopyAll)
{
    Page page;
    ASSERT_NE(page.text, nullptr);
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return page.text->model().status() == Status::ready(true); }, 20000));
    SelectableTextOverlay* overlay = page.overlay();
    ASSERT_EQ(overlay->analysis(), page.text->model().analysis());
    const int quick = page.wordIndex("Quick");
    const int over = page.wordIndex("over");
    ASSERT_GE(quick, 0);
    ASSERT_GT(over, quick);

    // Hovering a word highlights it.
    const QPointF brown = overlay->wordRect(page.wordIndex("brown")).center();
    QHoverEvent hover(QEvent::HoverMove, page.onCanvas(brown), QPointF(), QPointF());
    QCoreApplication::sendEvent(page.canvas(), &hover);
    EXPECT_EQ(overlay->hoveredWord(), page.wordIndex("brown"));

    // A drag from "Quick" to "over" selects across the line break, in reading order.
    const QPoint from = page.onCanvas(overlay->wordRect(quick).center());
    const QPoint to = page.onCanvas(overlay->wordRect(over).center());
    QTest::mousePress(page.canvas(), Qt::LeftButton, {}, from);
    QTest::mouseMove(page.canvas(), to);
    QMouseEvent move(QEvent::MouseMove, to, page.canvas()->mapToGlobal(to), Qt::NoButton,
                     Qt::LeftButton, {});
    QCoreApplication::sendEvent(page.canvas(), &move);
    QTest::mouseRelease(page.canvas(), Qt::LeftButton, {}, to);
    EXPECT_TRUE(page.store->annotations().empty()); // the canvas drew nothing
    EXPECT_EQ(overlay->selectedText(), QStringLiteral("Quick brown foxes\njump over"));

    QGuiApplication::clipboard()->clear();
    QTest::keyClick(overlay, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("Quick brown foxes\njump over"));

    // The badge beside the selection, for a person to look at.
    page.text->badge()->setStatus(Status::analyzing());
    QTest::qWait(SelectableTextStatusBadge::fadeMs + 100);
    page.view->grab().save(QStringLiteral(SNAPKIN_BUILD_DIR "/selectable-text.png"));
    page.text->badge()->setStatus(Status::ready(true));

    ASSERT_TRUE(overlay->copyAllButton()->isVisible())
        << overlay->isVisible() << overlay->isHidden() << overlay->geometry().width()
        << overlay->copyAllButton()->isHidden();
    overlay->copyAllButton()->click();
    EXPECT_EQ(QGuiApplication::clipboard()->text(),
              QStringLiteral("Quick brown foxes\njump over dogs"));

    // The context menu offers Copy and Select All.
    std::unique_ptr<QMenu> menu(overlay->makeContextMenu(nullptr));
    ASSERT_EQ(menu->actions().size(), 2);
    EXPECT_EQ(menu->actions()[0]->text(), QStringLiteral("Copy"));
    menu->actions()[1]->trigger();
    EXPECT_EQ(overlay->selectedText(), QStringLiteral("Quick brown foxes\njump over dogs"));
}

TEST(SelectableTextOverlay, OtherToolsAndEditsReachTheCanvas)
{
    Page page;
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return page.text->model().status() == Status::ready(true); }, 20000));
    SelectableTextOverlay* overlay = page.overlay();
    const QPointF word = overlay->wordRect(page.wordIndex("foxes")).center();
    EXPECT_EQ(overlay->routeFor(word), SelectableTextRoute::overlay);
    EXPECT_TRUE(overlay->copyAllButton()->isVisible());
    page.store->activate(Tool::rectangle);
    EXPECT_EQ(overlay->routeFor(word), SelectableTextRoute::canvas);
    // Its button is not offered either while presses go to the canvas.
    EXPECT_TRUE(QTest::qWaitFor([&] { return !overlay->copyAllButton()->isVisible(); }));

    // An edit stops the analysis; a new one follows.
    page.store->activate(Tool::select);
    page.store->appendAnnotation(
        Annotation{.kind = AnnotationKind::rectangle, .p1 = {0, 0}, .p2 = {5, 5}});
    EXPECT_TRUE(QTest::qWaitFor([&] { return page.overlay()->analysis() == nullptr; }));
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return page.text->model().status() == Status::ready(true); }, 20000));

    // Turned off: no overlay, no analysis.
    platform::Defaults::standard().setValue("selectableTextEnabled", false);
    EXPECT_FALSE(overlay->isVisible());
    EXPECT_EQ(page.text->model().status(), Status::off());
}

namespace {

QImage linkLines()
{
    QImage image = snapkin::testing::whitePage(QSize(760, 200));
    snapkin::testing::drawText(image, QPoint(30, 70), "Docs at www.example.org today", 30);
    snapkin::testing::drawText(image, QPoint(30, 150), "mail help@example.com now", 30);
    return image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

} // namespace

TEST(SelectableTextOverlay, LinksShowTheHandOpenOnAClickAndADragStillSelects)
{
    Page page(linkLines());
    const RecordingOpener& opener = page.links;
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return page.text->model().status() == Status::ready(true); }, 20000));
    SelectableTextOverlay* overlay = page.overlay();
    const int web = page.wordIndex("www.example.org");
    const int mail = page.wordIndex("help@example.com");
    const int today = page.wordIndex("today");
    ASSERT_GE(web, 0) << overlay->analysis()->allText().toStdString();
    ASSERT_GE(mail, 0) << overlay->analysis()->allText().toStdString();
    ASSERT_GT(today, web);

    auto hover = [&](int word) {
        QHoverEvent event(QEvent::HoverMove, page.onCanvas(overlay->wordRect(word).center()),
                          QPointF(), QPointF());
        QCoreApplication::sendEvent(page.canvas(), &event);
    };
    hover(page.wordIndex("Docs"));
    EXPECT_EQ(page.canvas()->cursor().shape(), Qt::IBeamCursor);
    hover(web);
    EXPECT_EQ(overlay->hoveredWord(), web);
    EXPECT_EQ(page.canvas()->cursor().shape(), Qt::PointingHandCursor);
    page.view->grab().save(QStringLiteral(SNAPKIN_BUILD_DIR "/selectable-text-link.png"));

    // A click opens the link and selects nothing; an address opens as mail.
    const QPoint onWeb = page.onCanvas(overlay->wordRect(web).center());
    QTest::mouseClick(page.canvas(), Qt::LeftButton, {}, onWeb);
    EXPECT_EQ(opener.opened, QList<QUrl>{QUrl("http://www.example.org")});
    EXPECT_FALSE(overlay->hasSelection());
    QTest::mouseClick(page.canvas(), Qt::LeftButton, {},
                      page.onCanvas(overlay->wordRect(mail).center()));
    ASSERT_EQ(opener.opened.size(), 2);
    EXPECT_EQ(opener.opened[1], QUrl("mailto:help@example.com"));
    EXPECT_TRUE(page.store->annotations().empty());

    // A drag that starts on the link selects, and opens nothing.
    const QPoint to = page.onCanvas(overlay->wordRect(today).center());
    QTest::mousePress(page.canvas(), Qt::LeftButton, {}, onWeb);
    QMouseEvent move(QEvent::MouseMove, to, page.canvas()->mapToGlobal(to), Qt::NoButton,
                     Qt::LeftButton, {});
    QCoreApplication::sendEvent(page.canvas(), &move);
    QTest::mouseRelease(page.canvas(), Qt::LeftButton, {}, to);
    EXPECT_EQ(overlay->selectedText(), QStringLiteral("www.example.org today"));
    EXPECT_EQ(opener.opened.size(), 2);
}

// Closing an editor page tears down the view before its children, the canvas area and Selectable
// Text among them: the canvas area's events on the way must reach nothing of the view (under
// the undefined-behaviour sanitizer, a call into the half-destroyed view is reported). The
// badge still follows the canvas area while the page is open.
TEST(SelectableText, TheBadgeFollowsTheCanvasAreaAndClosingThePageWhileAnalysingIsClean)
{
    Page page;
    ASSERT_NE(page.text, nullptr);
    SelectableTextStatusBadge* badge = page.text->badge();
    const QWidget* viewport = page.view->canvasArea()->viewport();
    page.view->resize(640, 480);
    QCoreApplication::processEvents();
    EXPECT_EQ(badge->geometry(), badge->placement(viewport->geometry()));
    page.view->resize(1000, 760);
    QCoreApplication::processEvents();
    EXPECT_EQ(badge->geometry(), badge->placement(viewport->geometry()));

    // Closed while an analysis may still run and the badge shows.
    badge->setStatus(Status::analyzing());
    const QPointer<SelectableText> text = page.text;
    const QPointer<SelectableTextStatusBadge> watchedBadge = badge;
    page.view->close();
    page.view.reset();
    EXPECT_TRUE(text.isNull());
    EXPECT_TRUE(watchedBadge.isNull());
    QCoreApplication::processEvents(); // a late result finds nothing to deliver to
}
