#include "CaptureFakes.h"
#include "TestPaths.h"
#include "WatcherTestSupport.h"

#include "app/CaptureDelivery.h"
#include "capture/CaptureService.h"
#include "capture/CaptureToast.h"
#include "capture/PostCaptureRouter.h"
#include "capture/SystemScreenshotWatcher.h"
#include "capture/ToastView.h"
#include "editor/EditorPage.h"
#include "editor/EditorWindowController.h"
#include "editor/HistoryTracking.h"
#include "model/AnnotationStore.h"
#include "platform/Defaults.h"
#include "support/HostileImages.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QDir>
#include <QFileDialog>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <gtest/gtest.h>

using namespace snapkin;
using platform::BaseImage;

namespace {

class TrackedTitles : public HistoryTracking {
public:
    void track(AnnotationStore&, const QString& title, std::optional<QUuid>, bool) override
    {
        titles.append(title);
    }
    void editorWillClose(AnnotationStore&) override {}
    void record(const BaseImage&, const QString& title) override { recorded.append(title); }
    QString unavailableReason() const override { return refusal; }
    QStringList titles;
    QStringList recorded;
    QString refusal;
};

QByteArray png(QSize size, QColor color)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    test::filled(size, color).save(&buffer, "PNG");
    return bytes;
}

// Pictures brought into editors: from the clipboard, from a file, and captures for the editor
// through the router.
class CaptureServiceEditors : public ::testing::Test {
protected:
    void SetUp() override
    {
        platform::Defaults::standard().removeAllStored();
        editors.setHistory(&history);
    }
    void TearDown() override
    {
        for (EditorPage* page : editors.pages()) {
            page->store().setHasUnsavedChanges(false);
            page->window()->close();
        }
        for (int i = 0; i < 5; ++i) {
            QCoreApplication::processEvents();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
        CaptureToast::dismiss();
        editors.setHistory(nullptr);
    }
    QList<EditorPage*> pages() const { return editors.pages(); }

    CaptureHooks hooks() { return CaptureHooks{&delivery, &delivery}; }

    TrackedTitles history;
    EditorWindowController editors;
    CaptureDelivery delivery{editors, history};
    PostCaptureRouter router{platform::Defaults::standard(), hooks()};
    SystemScreenshotWatcher watcher{platform::Defaults::standard()};
    CaptureService service{router, watcher, hooks()};
};

} // namespace

TEST_F(CaptureServiceEditors, AClipboardImageOpensAsPastedImageAndIsFollowedByTheHistory)
{
    auto* mime = new QMimeData;
    mime->setData("image/png", png(QSize(64, 48), Qt::darkCyan));
    QGuiApplication::clipboard()->setMimeData(mime);

    service.openFromClipboard();
    ASSERT_EQ(pages().size(), 1);
    EXPECT_EQ(pages()[0]->title(), "Pasted image");
    EXPECT_EQ(pages()[0]->store().image().pixelSize(), QSize(64, 48));
    EXPECT_EQ(history.titles, QStringList{"Pasted image"});
    EXPECT_EQ(CaptureToast::current(), nullptr);
}

// A picture on the clipboard is as hostile as a file: over the image budget, whatever its
// format, it is refused with the too-large message and opens nothing.
TEST_F(CaptureServiceEditors, AClipboardImageOverTheBudgetIsRefusedWithTheMessage)
{
    ASSERT_FALSE(test::hostileImagesFolder().isEmpty()) << "scripts/hostile-images failed";
    for (const QString& name : test::hostileImageNames()) {
        SCOPED_TRACE(name.toStdString());
        QFile file(QDir(test::hostileImagesFolder()).filePath(name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        auto* mime = new QMimeData;
        mime->setData(name.endsWith(".bmp") ? "image/bmp" : "image/png", file.readAll());
        QGuiApplication::clipboard()->setMimeData(mime);
        CaptureToast::dismiss();
        service.openFromClipboard();
        EXPECT_TRUE(pages().isEmpty());
        ASSERT_NE(CaptureToast::current(), nullptr);
        EXPECT_EQ(CaptureToast::current()->message(), "The image is too large to open.");
    }
}

TEST_F(CaptureServiceEditors, OneImageFileOnTheClipboardOpensButTwoOrAnUnreadableOneDoNot)
{
    QTemporaryDir dir;
    const QString a = dir.filePath("a.png");
    const QString b = dir.filePath("b.png");
    const QString broken = dir.filePath("broken.png");
    test::filled(QSize(30, 20), Qt::red).save(a);
    test::filled(QSize(30, 20), Qt::blue).save(b);
    QFile f(broken);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("\x89PNG not really");
    f.close();

    const auto paste = [&](QList<QUrl> urls) {
        auto* mime = new QMimeData;
        mime->setUrls(urls);
        QGuiApplication::clipboard()->setMimeData(mime);
        service.openFromClipboard();
    };
    paste({QUrl::fromLocalFile(a)});
    EXPECT_EQ(pages().size(), 1);

    paste({QUrl::fromLocalFile(a), QUrl::fromLocalFile(b)});
    EXPECT_EQ(pages().size(), 1);
    ASSERT_NE(CaptureToast::current(), nullptr);
    EXPECT_EQ(CaptureToast::current()->message(), "No image on the clipboard");

    CaptureToast::dismiss();
    paste({QUrl::fromLocalFile(broken)});
    EXPECT_EQ(pages().size(), 1);
    EXPECT_NE(CaptureToast::current(), nullptr);
}

TEST_F(CaptureServiceEditors, AnEditorCaptureOpensUntitledAndAClipboardOneIsRecorded)
{
    const BaseImage image(test::filled(QSize(200, 100), Qt::green), QSizeF(100, 50));
    service.route(image, CaptureSink::editor);
    ASSERT_EQ(pages().size(), 1);
    EXPECT_EQ(pages()[0]->title(), "Untitled");
    EXPECT_EQ(pages()[0]->store().image().pointSize(), QSizeF(100, 50));
    // Filed under the application it came from, or "Screenshot" when that is unknown.
    EXPECT_EQ(history.titles, QStringList{"Screenshot"});

    // A clipboard capture is recorded, not followed in an editor.
    service.setClipboardWriter([](const BaseImage&) { return true; });
    service.route(image, CaptureSink::clipboard);
    EXPECT_EQ(history.recorded, QStringList{"Screenshot"});
    EXPECT_EQ(pages().size(), 1);
}

TEST_F(CaptureServiceEditors, OpenOpensTheChosenFileAndACancelledDialogNothing)
{
    QTemporaryDir dir;
    const QString file = dir.filePath("shot.png");
    test::filled(QSize(40, 30), Qt::yellow).save(file);

    service.setOpenPanel([] { return QString(); });
    service.openImage();
    EXPECT_TRUE(pages().isEmpty());

    service.setOpenPanel([file] { return file; });
    service.openImage();
    ASSERT_EQ(pages().size(), 1);
    EXPECT_EQ(pages()[0]->store().image().pixelSize(), QSize(40, 30));
}

TEST_F(CaptureServiceEditors, ADocumentPackageIsChosenInTheOpenDialogLikeAFile)
{
    QTemporaryDir dir;
    const QString package = dir.filePath("Shot.snapkin");
    ASSERT_TRUE(QDir().mkpath(package));
    const QDir fixture(SNAPKIN_TEST_DATA "/package-basic.snapkin");
    for (const QString& name : fixture.entryList(QDir::Files))
        QFile::copy(fixture.filePath(name), package + "/" + name);

    // Each way of going into the package, as the dialog reports it, chooses the package.
    const std::vector<std::function<void(QFileDialog&)>> ways = {
        [&](QFileDialog& d) { // a double-click on its row, where it shows as a document
            d.setDirectory(dir.path());
            d.resize(760, 520);
            auto* view = d.findChild<QAbstractItemView*>("listView");
            ASSERT_NE(view, nullptr);
            QModelIndex row;
            ASSERT_TRUE(QTest::qWaitFor([&] {
                for (int r = 0; r < view->model()->rowCount(view->rootIndex()); ++r) {
                    const QModelIndex index = view->model()->index(r, 0, view->rootIndex());
                    if (index.data().toString() == "Shot.snapkin") row = index;
                }
                return row.isValid();
            }));
            EXPECT_EQ(row.siblingAtColumn(2).data().toString(), "Snapkin Document");
            d.grab().save(QStringLiteral(SNAPKIN_BUILD_DIR "/open-dialog-package.png"));
            const QPoint at = view->visualRect(row).center();
            QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
            QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, at);
        },
        [&](QFileDialog& d) { emit d.directoryEntered(package); }, // going in some other way
        [&](QFileDialog& d) {                                      // its name typed, then Open
            d.setDirectory(dir.path());
            auto* name = d.findChild<QLineEdit*>("fileNameEdit");
            ASSERT_NE(name, nullptr);
            name->setText("Shot.snapkin");
            QMetaObject::invokeMethod(&d, "accept");
        },
    };
    service.setOpenPanel(nullptr);
    for (size_t i = 0; i < ways.size(); ++i) {
        SCOPED_TRACE(i);
        bool acted = false;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                auto* dialog = qobject_cast<QFileDialog*>(w);
                if (!acted && dialog && dialog->isVisible()) {
                    acted = true;
                    // Should the dialog stay open, close it rather than wait forever.
                    QTimer::singleShot(3000, dialog,
                                       [dialog] { QMetaObject::invokeMethod(dialog, "reject"); });
                    ways[i](*dialog);
                }
            }
        });
        poll.start(20);
        service.openImage();
        ASSERT_TRUE(acted);
        // The same package twice is brought forward, not opened again.
        ASSERT_EQ(pages().size(), 1);
        EXPECT_EQ(pages()[0]->title(), "Shot.snapkin");
    }
}

// Open… starts where the last file dialog was left, but a folder inside a package (the package's
// own or one in it) gives way to the folder beside the package, where the package is still
// chosen as a file.
TEST_F(CaptureServiceEditors, TheOpenDialogStartsBesideAPackageItWasLeftIn)
{
    QTemporaryDir dir;
    const QString package = dir.filePath("Shot.snapkin");
    ASSERT_TRUE(QDir().mkpath(package + "/Inner"));
    const QDir fixture(SNAPKIN_TEST_DATA "/package-basic.snapkin");
    for (const QString& name : fixture.entryList(QDir::Files))
        QFile::copy(fixture.filePath(name), package + "/" + name);
    {
        // Any file dialog left inside the package makes that the last folder.
        QFileDialog left(nullptr);
        left.setOption(QFileDialog::DontUseNativeDialog);
        left.setDirectory(package + "/Inner");
    }
    service.setOpenPanel(nullptr);
    QString startedIn;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog || !startedIn.isEmpty()) return;
        startedIn = QDir(dialog->directory()).absolutePath();
        // Elsewhere the name would not be found: nothing to choose.
        if (startedIn != QDir(dir.path()).absolutePath()) return dialog->reject();
        QTimer::singleShot(3000, dialog, [dialog] { QMetaObject::invokeMethod(dialog, "reject"); });
        auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
        ASSERT_NE(name, nullptr);
        name->setText("Shot.snapkin");
        QMetaObject::invokeMethod(dialog, "accept");
    });
    poll.start(20);
    service.openImage();
    poll.stop();
    EXPECT_EQ(startedIn, QDir(dir.path()).absolutePath());
    ASSERT_EQ(pages().size(), 1);
    EXPECT_EQ(pages()[0]->title(), "Shot.snapkin");
}

TEST_F(CaptureServiceEditors, TheFirstCaptureOfARunSaysOnceThatTheHistoryRefusedItsFolder)
{
    const BaseImage image(test::filled(QSize(40, 30), Qt::green));
    service.route(image, CaptureSink::editor);
    EXPECT_EQ(CaptureToast::current(), nullptr);

    CaptureService fresh{router, watcher, hooks()};
    history.refusal =
        "The history folder is a link or belongs to another user, so the history is off.";
    fresh.route(image, CaptureSink::editor);
    ASSERT_NE(CaptureToast::current(), nullptr);
    EXPECT_EQ(CaptureToast::current()->message(), history.refusal);

    CaptureToast::dismiss();
    fresh.route(image, CaptureSink::editor);
    EXPECT_EQ(CaptureToast::current(), nullptr);
}

// The application's service makes its own router and screenshot-folder watcher, and joins
// them: a screenshot that arrives in the watched folder goes through the router to the editors,
// titled with its file name.
TEST(CaptureServiceParts, ItsOwnWatcherHandsNewScreenshotsToItsOwnRouter)
{
    QTemporaryDir home;
    platform::Defaults settings(home.filePath("settings.json"));
    const QString folder = home.filePath("Shots");
    ASSERT_TRUE(QDir().mkdir(folder));
    settings.setValue(keys::systemScreenshotsFolderBookmark, folder);
    struct Editors final : EditorOpening {
        QStringList opened;
        void openCapture(const BaseImage& image, const QString& title,
                         const QString& historyTitle) override
        {
            opened << QString("%1 %2x%3 %4")
                          .arg(title)
                          .arg(image.pixelSize().width())
                          .arg(image.pixelSize().height())
                          .arg(historyTitle);
        }
        void openFile(const QString&) override {}
    } editors;

    CaptureService service(settings);
    service.router().setHooks(CaptureHooks{&editors});
    service.watcher().start();
    ASSERT_TRUE(service.watcher().isWatching());
    // Born after the watch began, by the clock the kernel stamps files with.
    const qint64 started = watchertest::coarseNowNs();
    ASSERT_TRUE(QTest::qWaitFor([&] { return watchertest::coarseNowNs() > started; }, 1000));
    ASSERT_TRUE(watchertest::put(QDir(folder).filePath("Shot.png"), png(QSize(30, 20), Qt::red)));

    ASSERT_TRUE(QTest::qWaitFor([&] { return !editors.opened.isEmpty(); }, 5000));
    EXPECT_EQ(editors.opened, QStringList{"Shot.png 30x20 Shot.png"});
}
