#include "AppShell.h"

#include "AppTestSupport.h"
#include "output/ExportService.h"
#include "ui/output/ExportDialogs.h"

#include "app/AppPresence.h"
#include "app/start/HistoryDayGroups.h"
#include "app/start/HistoryGridModel.h"
#include "app/start/HistoryGridView.h"
#include "app/start/StartCaptureBar.h"
#include "app/start/StartWindow.h"
#include "app/start/StartWindowController.h"
#include "capture/CaptureService.h"
#include "editor/EditorPage.h"
#include "editor/EditorWindowController.h"
#include "history/CaptureHistory.h"
#include "model/AnnotationStore.h"
#include "model/SnapkinDocument.h"
#include "platform/Defaults.h"
#include "platform/L10n.h"
#include "settings/HistoryPane.h"
#include "settings/OnboardingView.h"
#include "settings/SettingsHooks.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

using namespace snapkin;
using platform::L10n;

namespace {

// Monday 7 December 2026, a week that starts on Monday in English (UK) and German.
const QDate today(2026, 12, 7);

QDateTime localNoon(QDate date, int hour = 12)
{
    return QDateTime(date, QTime(hour, 0)).toUTC();
}

class StartWindowTest : public ::testing::Test {
protected:
    QTemporaryDir root;
    platform::Defaults defaults{root.filePath("settings.json")};
    std::unique_ptr<CaptureHistory> history;
    EditorWindowController editors;
    ExportService exports;
    ExportDialogs dialogs{exports};
    CaptureService capture{platform::Defaults::standard()};
    QDateTime now;
    QList<qsizetype> asked; // the counts the delete question was asked with
    bool answer = true;

    void SetUp() override
    {
        QApplication::setQuitOnLastWindowClosed(false);
        L10n::setLanguage("en");
        history = std::make_unique<CaptureHistory>(root.filePath("History"), defaults);
        history->setClock([this] { return now; });
    }
    void TearDown() override
    {
        apptest::closeAllEditors(editors);
        editors.setHistory(nullptr);
        L10n::setLanguage("en");
    }

    // A capture recorded at `created` with its package on disk.
    QUuid add(const QString& title, const QDateTime& created, QSize pixels = {320, 200},
              QColor color = QColor(30, 140, 200))
    {
        now = created;
        QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
        image.fill(color);
        history->record(platform::BaseImage(image), title);
        history->drain();
        QCoreApplication::processEvents(); // the grid follows the list
        for (const HistoryEntry& entry : history->entries())
            if (entry.created == created && entry.title == title) return entry.id;
        return {};
    }

    std::unique_ptr<StartWindow> makeWindow()
    {
        auto window = std::make_unique<StartWindow>(editors, *history, dialogs, capture, defaults,
                                                    [this](QWidget*, qsizetype count) {
                                                        asked.append(count);
                                                        return answer;
                                                    });
        window->model()->setToday([] { return today; });
        window->resize(window->preferredSize());
        return window;
    }

    // The grid as text: headings as "# Title", entries by title.
    static QStringList rows(const HistoryGridModel& model)
    {
        QStringList out;
        for (int row = 0; row < model.rowCount(); ++row) {
            const QModelIndex index = model.index(row, 0);
            const bool heading = index.data(HistoryGridModel::isHeadingRole).toBool();
            out << (heading ? "# " : "") + index.data().toString();
        }
        return out;
    }

    static QString currentTitle(const StartWindow& window)
    {
        return window.grid()->currentIndex().data().toString();
    }
};

} // namespace

TEST(HistoryDayGroups, NamesTodayYesterdayTheWeekdaysOfThisWeekThenMonthAndYear)
{
    const QLocale english(QLocale::English, QLocale::UnitedKingdom); // weeks start on Monday
    L10n::setLanguage("en");
    const QDate wednesday(2026, 12, 9);
    EXPECT_EQ(historyDayGroups::title(wednesday, wednesday, english), "Today");
    EXPECT_EQ(historyDayGroups::title(wednesday.addDays(3), wednesday, english), "Today");
    EXPECT_EQ(historyDayGroups::title(QDate(2026, 12, 8), wednesday, english), "Yesterday");
    EXPECT_EQ(historyDayGroups::title(QDate(2026, 12, 7), wednesday, english), "Monday");
    // Last Sunday belongs to last week.
    EXPECT_EQ(historyDayGroups::title(QDate(2026, 12, 6), wednesday, english), "December 2026");
    EXPECT_EQ(historyDayGroups::title(QDate(2025, 11, 30), wednesday, english), "November 2025");
    // On a Monday, yesterday is still "Yesterday", not a weekday of last week.
    EXPECT_EQ(historyDayGroups::title(QDate(2026, 12, 6), today, english), "Yesterday");
    EXPECT_EQ(historyDayGroups::title(QDate(2026, 12, 5), today, english), "December 2026");

    L10n::setLanguage("de");
    const QLocale german(QLocale::German, QLocale::Germany);
    EXPECT_EQ(historyDayGroups::title(wednesday, wednesday, german), "Heute");
    EXPECT_EQ(historyDayGroups::title(QDate(2026, 12, 7), wednesday, german), "Montag");
    EXPECT_EQ(historyDayGroups::title(QDate(2026, 3, 2), wednesday, german), "März 2026");
    L10n::setLanguage("fr");
    const QLocale french(QLocale::French, QLocale::France);
    EXPECT_EQ(historyDayGroups::title(QDate(2026, 3, 2), wednesday, french), "Mars 2026");
    L10n::setLanguage("en");
}

TEST_F(StartWindowTest, GroupsEntriesNewestFirstUnderTheirDays)
{
    add("Older", localNoon(QDate(2026, 11, 20)));
    add("Last week", localNoon(QDate(2026, 12, 2)));
    add("Sunday", localNoon(QDate(2026, 12, 6)));
    add("Morning", localNoon(today, 9));
    add("Noon", localNoon(today, 12));
    auto window = makeWindow();
    EXPECT_EQ(rows(*window->model()),
              (QStringList{"# Today", "Noon", "Morning", "# Yesterday", "Sunday", "# December 2026",
                           "Last week", "# November 2026", "Older"}));
    EXPECT_EQ(window->page(), StartWindow::Page::grid);
    EXPECT_EQ(window->model()->shownEntryCount(), 5);

    // Headings cannot be selected; a new capture joins its group at the top.
    EXPECT_FALSE(window->model()->flags(window->model()->index(0, 0)) & Qt::ItemIsSelectable);
    add("Newest", localNoon(today, 15));
    EXPECT_EQ(rows(*window->model()).mid(0, 3), (QStringList{"# Today", "Newest", "Noon"}));
}

TEST_F(StartWindowTest, SearchFindsTitlesWithoutAccentsDatesAndRecognisedText)
{
    const QUuid cafe = add("Café Müller", localNoon(QDate(2026, 11, 3)));
    const QUuid receipt = add("Receipt", localNoon(QDate(2026, 12, 6)));
    add("Terminal", localNoon(today));
    history->setRecognizedText("Total due\nThe quick brown fox jumps\nThank you", receipt);
    auto window = makeWindow();
    QLineEdit* search = window->searchField();
    const auto shown = [&] {
        QStringList titles;
        for (const QString& row : rows(*window->model()))
            if (!row.startsWith("# ")) titles << row;
        return titles;
    };

    QTest::keyClicks(search, "CAFE muller");
    EXPECT_EQ(shown(), QStringList{"Café Müller"});
    search->clear();
    QTest::keyClicks(search, "2026-11-03");
    EXPECT_EQ(shown(), QStringList{"Café Müller"});
    // The headings as the grid shows them count too.
    search->setText("yesterday");
    EXPECT_EQ(shown(), QStringList{"Receipt"});
    search->setText("Brown FOX");
    EXPECT_EQ(shown(), QStringList{"Receipt"});
    EXPECT_EQ(rows(*window->model()), (QStringList{"# Yesterday", "Receipt"}));
    const QModelIndex found = window->model()->indexOf(receipt);
    EXPECT_EQ(found.data(HistoryGridModel::matchLineRole).toString(), "The quick brown fox jumps");
    // A title match shows no line of text.
    search->setText("cafe");
    EXPECT_EQ(window->model()->indexOf(cafe).data(HistoryGridModel::matchLineRole).toString(), "");

    search->setText("nothing like this");
    EXPECT_EQ(window->page(), StartWindow::Page::noMatches);
    // Escape empties the search and everything is back.
    QTest::keyClick(search, Qt::Key_Escape);
    EXPECT_EQ(search->text(), "");
    EXPECT_EQ(window->model()->shownEntryCount(), 3);
    EXPECT_EQ(window->page(), StartWindow::Page::grid);

    // Text recognised while the window is open is found at once.
    const QUuid later = add("Later", localNoon(today, 14));
    search->setText("invoice");
    EXPECT_EQ(shown(), QStringList{});
    history->setRecognizedText("Invoice 2026", later);
    QCoreApplication::processEvents();
    EXPECT_EQ(shown(), QStringList{"Later"});
}

TEST_F(StartWindowTest, CtrlFGoesToTheSearchAndArrowsPassOverHeadings)
{
    add("C", localNoon(QDate(2026, 12, 6)));
    add("B", localNoon(today, 10));
    add("A", localNoon(today, 11));
    auto window = makeWindow();
    window->resize(560, 700); // two cards per row
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    HistoryGridView* grid = window->grid();
    grid->setFocus();
    QTest::keyClick(window.get(), Qt::Key_F, Qt::ControlModifier);
    EXPECT_TRUE(window->searchField()->hasFocus());

    QTest::keyClick(window->searchField(), Qt::Key_Down);
    EXPECT_TRUE(grid->hasFocus());
    EXPECT_EQ(currentTitle(*window), "A");
    QTest::keyClick(grid, Qt::Key_Right);
    EXPECT_EQ(currentTitle(*window), "B");
    QTest::keyClick(grid, Qt::Key_Down); // over "Yesterday"
    EXPECT_EQ(currentTitle(*window), "C");
    QTest::keyClick(grid, Qt::Key_Up);
    EXPECT_EQ(currentTitle(*window), "A");
    QTest::keyClick(grid, Qt::Key_Left); // nothing before the first card
    EXPECT_EQ(currentTitle(*window), "A");
    QTest::keyClick(grid, Qt::Key_End);
    EXPECT_EQ(currentTitle(*window), "C");
    QTest::keyClick(grid, Qt::Key_Home); // not the heading above
    EXPECT_EQ(currentTitle(*window), "A");

    QTest::keyClick(grid, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(grid->selectedIDs().size(), 3);
}

TEST_F(StartWindowTest, ReturnOpensAnEditorThatWritesBackAndOpensOnlyOnce)
{
    editors.setHistory(history.get());
    const QUuid id = add("Shot", localNoon(today), {300, 180});
    auto window = makeWindow();
    window->show();
    const qsizetype before = editors.pages().size();
    window->grid()->setFocus();
    window->grid()->selectFirst();
    QTest::keyClick(window->grid(), Qt::Key_Return);
    ASSERT_EQ(editors.pages().size(), before + 1);
    AnnotationStore* store = history->openStore(id);
    ASSERT_NE(store, nullptr);
    EXPECT_EQ(store->image().pixelSize(), QSize(300, 180));

    // An edit reaches the entry's package, not a new entry.
    store->appendAnnotation(
        Annotation{.kind = AnnotationKind::rectangle, .p1 = {5, 5}, .p2 = {50, 40}});
    history->flushAndDrain();
    EXPECT_EQ(history->entries().size(), 1);
    auto package = SnapkinDocument::read(history->files().packagePath(id));
    ASSERT_TRUE(package.has_value());
    EXPECT_EQ(package->document.annotations.size(), 1);

    // Opening it again brings the same editor forward.
    window->actions().open(id, window.get());
    EXPECT_EQ(editors.pages().size(), before + 1);
}

TEST_F(StartWindowTest, DeleteAsksOnceAndRemovesPackagesAndIndexLines)
{
    const QUuid a = add("A", localNoon(today, 9));
    const QUuid b = add("B", localNoon(today, 10));
    const QUuid c = add("C", localNoon(today, 11));
    auto window = makeWindow();
    window->show();
    HistoryGridView* grid = window->grid();
    grid->setFocus();

    // Refused: nothing goes.
    answer = false;
    grid->setCurrentIndex(window->model()->indexOf(c));
    QTest::keyClick(grid, Qt::Key_Delete);
    EXPECT_EQ(asked, QList<qsizetype>{1});
    EXPECT_EQ(history->entries().size(), 3);

    answer = true;
    grid->selectionModel()->select(window->model()->indexOf(b), QItemSelectionModel::Select);
    QTest::keyClick(grid, Qt::Key_Delete);
    EXPECT_EQ(asked, (QList<qsizetype>{1, 2}));
    history->drain();
    ASSERT_EQ(history->entries().size(), 1);
    EXPECT_EQ(history->entries()[0].id, a);
    EXPECT_FALSE(QFileInfo::exists(history->files().packagePath(b)));
    EXPECT_FALSE(QFileInfo::exists(history->files().packagePath(c)));
    EXPECT_TRUE(QFileInfo::exists(history->files().packagePath(a)));
    const auto reloaded = history->files().load();
    ASSERT_EQ(reloaded.entries.size(), 1);
    EXPECT_EQ(reloaded.entries[0].id, a);
    // The keyboard goes on with what is left.
    EXPECT_EQ(currentTitle(*window), "A");

    // The context menu's Delete asks as well.
    std::unique_ptr<QMenu> menu(window->makeMenu({a}));
    QStringList items;
    for (QAction* action : menu->actions())
        items << (action->isSeparator() ? "---" : action->text());
    EXPECT_EQ(items, (QStringList{"Open", "Copy Image", "Save As…", "Show in File Manager", "---",
                                  "Delete"}));
    menu->actions().last()->trigger();
    EXPECT_EQ(asked.size(), 3);
    EXPECT_TRUE(history->entries().isEmpty());
    EXPECT_EQ(window->page(), StartWindow::Page::empty);
}

TEST_F(StartWindowTest, CtrlCCopiesTheFinishedImage)
{
    add("Shot", localNoon(today), {240, 160}, QColor(200, 30, 60));
    auto window = makeWindow();
    window->show();
    window->grid()->setFocus();
    window->grid()->selectFirst();
    QApplication::clipboard()->clear();
    QTest::keyClick(window->grid(), Qt::Key_C, Qt::ControlModifier);
    const QImage copied =
        QImage::fromData(QApplication::clipboard()->mimeData()->data("image/png"));
    ASSERT_FALSE(copied.isNull());
    EXPECT_EQ(copied.size(), QSize(240, 160));
    EXPECT_EQ(copied.pixelColor(120, 80), QColor(200, 30, 60));
}

TEST_F(StartWindowTest, EmptyAndOffStatesSayWhatToDo)
{
    auto window = makeWindow();
    window->show();
    EXPECT_EQ(window->page(), StartWindow::Page::empty);
    EXPECT_TRUE(window->emptyText()->text().contains("Ctrl+Alt+4"));
    EXPECT_FALSE(window->offNotice()->isVisible());

    defaults.setValue("historyEnabled", false);
    EXPECT_TRUE(window->offNotice()->isVisible());
    QStringList notes;
    for (const QLabel* label : window->offNotice()->findChildren<QLabel*>())
        notes << label->text();
    EXPECT_TRUE(notes.contains("Each capture is saved on this computer with its annotations, so "
                               "you can reopen it from the start window and keep editing. "
                               "Nothing leaves your computer."));
    QSignalSpy settings(window.get(), &StartWindow::historySettingsRequested);
    window->offNotice()->findChild<QPushButton*>("historySettings")->click();
    EXPECT_EQ(settings.size(), 1);
    defaults.setValue("historyEnabled", true);
    EXPECT_FALSE(window->offNotice()->isVisible());

    // Every capture is one click away, and the keys shown are the ones set.
    StartCaptureBar* bar = window->captureBar();
    for (const char* name :
         {"captureRegion", "captureWindow", "captureFullScreen", "recaptureLastRegion",
          "copyTextFromRegion", "timer", "open", "newFromClipboard", "newBlankCanvas"})
        EXPECT_NE(bar->button(name), nullptr) << name;
    EXPECT_TRUE(bar->button("captureRegion")->text().endsWith("Ctrl+Alt+4"));
}

// The faded empty-state line takes each look's text colour when the appearance is switched live,
// rather than keeping the one it was made in (dark grey on a dark window).
TEST_F(StartWindowTest, TheEmptyStateLineFollowsALiveSwitchOfTheAppearance)
{
    AppAppearance::apply("light");
    auto window = makeWindow();
    window->show();
    for (const char* look : {"dark", "light", "dark"}) {
        AppAppearance::apply(look);
        QCoreApplication::processEvents();
        const QColor text = QApplication::palette().color(QPalette::WindowText);
        const QColor shown = window->emptyText()->palette().color(QPalette::WindowText);
        EXPECT_EQ(shown.rgb(), text.rgb()) << look;
        EXPECT_LT(shown.alphaF(), 1.0) << look;
    }
    AppAppearance::apply("system");
}

TEST_F(StartWindowTest, ThumbnailsComeFromThePackageAndStayWithinTheirBound)
{
    QList<QUuid> ids;
    for (int i = 0; i < 6; ++i)
        ids << add(QString("Shot %1").arg(i), localNoon(today, 8 + i), {800, 500});
    HistoryThumbnails& thumbnails = history->thumbnails();
    const QImage one = HistoryThumbnails::load(history->files().packagePath(ids[0]), {192, 120});
    ASSERT_FALSE(one.isNull());
    EXPECT_EQ(one.size(), QSize(192, 120));
    EXPECT_EQ(one.pixelColor(96, 60), QColor(30, 140, 200));

    // Room for about two thumbnails: the cache never holds more.
    thumbnails.setLimitBytes(2 * 192 * 120 * 4 + 1024);
    QSignalSpy ready(&thumbnails, &HistoryThumbnails::thumbnailReady);
    for (const HistoryEntry& entry : history->entries())
        thumbnails.request(entry.id, entry.modified, history->files().packagePath(entry.id),
                           {192, 120});
    ASSERT_TRUE(QTest::qWaitFor([&] { return ready.size() == 6; }, 10000));
    EXPECT_LE(thumbnails.count(), 2);
    EXPECT_LE(thumbnails.totalBytes(), thumbnails.limitBytes());

    // A removed entry's thumbnail goes with it.
    const HistoryEntry newest = history->entries().first();
    thumbnails.request(newest.id, newest.modified, history->files().packagePath(newest.id),
                       {192, 120});
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return !thumbnails.thumbnail(newest.id, newest.modified).isNull(); }, 10000));
    ASSERT_FALSE(thumbnails.thumbnail(newest.id, newest.modified).isNull());
    history->remove({newest.id});
    EXPECT_TRUE(thumbnails.thumbnail(newest.id, newest.modified).isNull());
    // A package that is gone gives no thumbnail, and no crash.
    EXPECT_TRUE(HistoryThumbnails::load(root.filePath("missing.snapkin"), {192, 120}).isNull());
}

// Pictures of the window for a look: empty, three captures, a search, the history off, and
// in German.
TEST_F(StartWindowTest, PicturesOfTheWindow)
{
    {
        auto window = makeWindow();
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        window->grab().save(apptest::picturePath("start-window-empty.png"));
    }
    const auto screenshot = [](QColor background, const QStringList& lines) {
        QImage image(1280, 800, QImage::Format_ARGB32_Premultiplied);
        image.fill(background);
        QPainter painter(&image);
        painter.fillRect(0, 0, 1280, 48, background.darker(130));
        QFont font = painter.font();
        font.setPixelSize(40);
        painter.setFont(font);
        painter.setPen(background.lightness() > 128 ? Qt::black : Qt::white);
        for (int i = 0; i < lines.size(); ++i)
            painter.drawText(60, 160 + i * 70, lines[i]);
        return image;
    };
    const auto addImage = [&](const QString& title, const QDateTime& created, const QImage& image) {
        now = created;
        history->record(platform::BaseImage(image), title);
        history->drain();
        QCoreApplication::processEvents();
        return history->entries().first().id;
    };
    const QUuid terminal = addImage("Terminal", localNoon(QDate(2026, 11, 20), 16),
                                    screenshot(QColor(30, 34, 40), {"$ make -j4", "[100%] Built"}));
    const QUuid invoice =
        addImage("Firefox", localNoon(QDate(2026, 12, 6), 10),
                 screenshot(QColor(245, 245, 240), {"Invoice 2041", "Total due: 120 EUR"}));
    addImage("Screenshot", localNoon(today, 9),
             screenshot(QColor(70, 130, 200), {"Team meeting", "Agenda"}));
    history->setRecognizedText("Invoice 2041\nTotal due: 120 EUR\nThank you", invoice);
    history->setRecognizedText("$ make -j4\n[100%] Built target snapkin", terminal);

    const auto shoot = [&](StartWindow& window, const QString& name) {
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        QCoreApplication::processEvents();
        HistoryThumbnails& thumbnails = history->thumbnails();
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                QCoreApplication::processEvents();
                for (const HistoryEntry& entry : history->entries())
                    if (thumbnails.thumbnail(entry.id, entry.modified).isNull()) return false;
                return true;
            },
            10000));
        window.grid()->viewport()->update();
        QCoreApplication::processEvents();
        window.grab().save(apptest::picturePath(name));
    };
    {
        auto window = makeWindow();
        window->grid()->selectFirst();
        shoot(*window, "start-window-three.png");
        window->searchField()->setText("total");
        shoot(*window, "start-window-search.png");
        defaults.setValue("historyEnabled", false);
        window->searchField()->clear();
        shoot(*window, "start-window-history-off.png");
        defaults.setValue("historyEnabled", true);
    }
    L10n::setLanguage("de");
    {
        auto window = makeWindow();
        shoot(*window, "start-window-de.png");
    }
    L10n::setLanguage("en");

    // The links to it: the welcome window's last page and the History settings.
    const SettingsHooks shell{.openStartWindow = [] {}};
    {
        OnboardingView welcome([] { return QtFuture::makeReadyFuture(true); },
                               QKeySequence(QStringLiteral("Ctrl+Shift+V")), shell);
        welcome.setStep(OnboardingView::pageCount - 1);
        welcome.resize(welcome.sizeHint().expandedTo(QSize(560, 620)));
        welcome.show();
        QCoreApplication::processEvents();
        welcome.grab().save(apptest::picturePath("start-window-link-welcome.png"));
        CaptureHistorySource source(*history);
        HistoryPane pane(defaults, source, HistoryPane::defaultConfirm(), shell);
        pane.resize(580, 520);
        pane.show();
        QCoreApplication::processEvents();
        pane.grab().save(apptest::picturePath("start-window-link-history-tab.png"));
    }
}

TEST_F(StartWindowTest, TheHistoryTabAndTheWelcomeWindowLinkToIt)
{
    int opened = 0;
    const SettingsHooks shell{.openStartWindow = [&opened] { ++opened; }};
    {
        CaptureHistorySource source(*history);
        HistoryPane pane(defaults, source, HistoryPane::defaultConfirm(), shell);
        auto* link = pane.findChild<QLabel*>("startWindowLink");
        ASSERT_NE(link, nullptr);
        emit link->linkActivated("start");
        EXPECT_EQ(opened, 1);
    }
    {
        OnboardingView welcome([] { return QtFuture::makeReadyFuture(true); },
                               QKeySequence(QStringLiteral("Ctrl+Shift+V")), shell);
        auto* link = welcome.findChild<QLabel*>("startWindowLink");
        ASSERT_NE(link, nullptr);
        emit link->linkActivated("start");
        EXPECT_EQ(opened, 2);
    }
    // Without a shell to open it, no link promises it.
    CaptureHistorySource source(*history);
    HistoryPane pane(defaults, source);
    EXPECT_EQ(pane.findChild<QLabel*>("startWindowLink"), nullptr);
}

// The shared window: centred on the screen first, then where the user left it.
TEST_F(StartWindowTest, TheSharedWindowRemembersItsFrame)
{
    StartWindowController controller(editors, *history, dialogs, capture, {});
    platform::Defaults::standard().removeObject(keys::startWindowFrame);
    controller.show();
    StartWindow* window = controller.window();
    ASSERT_NE(window, nullptr);
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_LE(std::abs(window->geometry().center().x() - screen.center().x()), 2);
    window->setGeometry(40, 50, 900, 640);
    window->close();
    EXPECT_FALSE(controller.isVisible());
    EXPECT_FALSE(platform::Defaults::standard().get(keys::startWindowFrame).isEmpty());
    // A restored window of a new session takes the stored frame.
    StartWindow fresh(editors, *history, dialogs, capture, defaults);
    ASSERT_TRUE(fresh.restoreGeometry(QByteArray::fromBase64(
        platform::Defaults::standard().get(keys::startWindowFrame).toLatin1())));
    EXPECT_EQ(fresh.geometry().size(), QSize(900, 640));

    // An editor that opens puts it away.
    controller.show();
    EXPECT_TRUE(controller.isVisible());
    editors.openBlank();
    EXPECT_FALSE(controller.isVisible());
}

// An edit written back shows in the thumbnail.
TEST_F(StartWindowTest, AnEditedCaptureGetsANewThumbnail)
{
    editors.setHistory(history.get());
    const QUuid id = add("Shot", localNoon(today), {400, 250}, QColor(30, 140, 200));
    auto window = makeWindow();
    ASSERT_TRUE(window->actions().open(id, window.get()));
    AnnotationStore* store = history->openStore(id);
    ASSERT_NE(store, nullptr);
    HistoryThumbnails& thumbnails = history->thumbnails();
    const auto thumbnailNow = [&] {
        const HistoryEntry entry = history->entries().first();
        thumbnails.request(entry.id, entry.modified, history->files().packagePath(id), {200, 125});
        QImage image;
        EXPECT_TRUE(QTest::qWaitFor(
            [&] { return !(image = thumbnails.thumbnail(entry.id, entry.modified)).isNull(); },
            10000));
        return image;
    };
    EXPECT_EQ(thumbnailNow().pixelColor(100, 62), QColor(30, 140, 200));

    // A filled rectangle over the whole capture.
    Annotation box{.kind = AnnotationKind::rectangle, .p1 = {0, 0}, .p2 = {400, 250}};
    box.filled = true;
    box.colorHex = "#00FF00";
    store->appendAnnotation(box);
    now = now.addSecs(60);
    history->flushAndDrain();
    QCoreApplication::processEvents();
    const QColor shown = thumbnailNow().pixelColor(100, 62);
    EXPECT_GT(shown.green(), 200) << shown.name().toStdString();
}

// The start window made by its controller carries the main menu, and its bar's buttons run
// their commands as the menus do; the window goes with its controller.
TEST_F(StartWindowTest, TheControllersWindowCarriesTheMenusAndItsButtonsRunTheirCommands)
{
    QPointer<StartWindow> window;
    {
        apptest::Shell shell;
        shell.startWindow.show();
        window = shell.startWindow.window();
        ASSERT_NE(window, nullptr);
        auto* bar = qobject_cast<QMenuBar*>(window->menuWidget());
        ASSERT_NE(bar, nullptr);
        EXPECT_EQ(bar->actions().size(), 8); // File … Help

        const qsizetype before = shell.editors.pages().size();
        window->captureBar()->button("newBlankCanvas")->click();
        EXPECT_EQ(shell.editors.pages().size(), before + 1);
        // An editor that opens hides the start window.
        EXPECT_FALSE(window->isVisible());
        apptest::closeAllEditors(shell.editors);
    }
    EXPECT_TRUE(window.isNull());
}
