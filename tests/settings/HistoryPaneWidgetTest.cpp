#include "SettingsTestSupport.h"

#include "history/CaptureHistory.h"
#include "platform/Defaults.h"
#include "platform/FolderSize.h"
#include "settings/HistoryPane.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFontMetricsF>
#include <QLocale>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace snapkin;
using test::drawn;
using test::proportionalDigitsFont;

namespace {

void choose(QComboBox* picker, int days)
{
    const int index = picker->findData(days);
    ASSERT_GE(index, 0);
    picker->setCurrentIndex(index);
    emit picker->activated(index);
}

void writeFile(const QString& path, qint64 bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(bytes, 'h'));
}

class HistoryPaneTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        settings().removeAllStored();
        settings().registerDefaults({{"historyEnabled", true}, {"historyRetentionDays", 30}});
        source.folder = folder.path();
    }
    void TearDown() override { settings().removeAllStored(); }
    static platform::Defaults& settings() { return platform::Defaults::standard(); }

    QTemporaryDir folder;
    test::FakeHistorySource source;
};

TEST_F(HistoryPaneTest, AShorterRetentionPrunesAtOnceAndTheToggleLocksThePicker)
{
    HistoryPane pane(settings(), source);
    EXPECT_EQ(pane.retentionPicker()->currentText(), "1 month");
    EXPECT_TRUE(source.prunedAt.isEmpty());
    choose(pane.retentionPicker(), 7);
    EXPECT_EQ(settings().integerForKey("historyRetentionDays"), 7);
    ASSERT_EQ(source.prunedAt.size(), 1);
    EXPECT_LT(source.prunedAt[0].secsTo(QDateTime::currentDateTime()), 5);

    EXPECT_TRUE(pane.disabledNote()->isHidden());
    pane.enabledToggle()->click();
    EXPECT_FALSE(settings().boolForKey("historyEnabled"));
    EXPECT_FALSE(pane.retentionPicker()->isEnabled());
    EXPECT_FALSE(pane.disabledNote()->isHidden());

    settings().setValue("historyRetentionDays", 14);
    HistoryPane odd(settings(), source);
    EXPECT_EQ(odd.retentionPicker()->currentIndex(), -1);
    EXPECT_EQ(HistoryPane::label(14), "Forever");
}

TEST_F(HistoryPaneTest, TheFooterSaysWhereToReopenAndTheSummarysDigitsAreEquallyWide)
{
    HistoryPane pane(settings(), source);
    QStringList texts;
    for (const QLabel* label : pane.findChildren<QLabel*>())
        texts << label->text();
    EXPECT_TRUE(texts.contains("Each capture is saved on this computer with its annotations, so "
                               "you can reopen it from the start window and keep editing. "
                               "Nothing leaves your computer."));

    const std::optional<QFont> proportional = proportionalDigitsFont();
    ASSERT_TRUE(proportional) << "no installed font with proportional digits to test against";
    QLabel* summary = pane.summaryText();
    for (const QFont& font : {pane.font(), *proportional}) {
        summary->setFont(font);
        // The count alone, as before the first measurement.
        EXPECT_EQ(drawn(summary, "1111").size(), drawn(summary, "8888").size())
            << font.family().toStdString();
        const QImage ones = drawn(summary, "1111 · 2.0 MB");
        const QImage eights = drawn(summary, "8888 · 2.0 MB");
        ASSERT_EQ(ones.size(), eights.size()) << font.family().toStdString();
        // Past the digits, the text lies on the same pixels.
        const int digits = QFontMetricsF(font).horizontalAdvance(u'8') * 5;
        EXPECT_EQ(ones.copy(digits, 0, ones.width() - digits, ones.height()),
                  eights.copy(digits, 0, eights.width() - digits, eights.height()))
            << font.family().toStdString();
        EXPECT_NE(ones.copy(0, 0, digits, ones.height()), eights.copy(0, 0, digits, ones.height()));
    }
}

TEST_F(HistoryPaneTest, TheSizeIsMeasuredAfterQueuedWritesAndOnlyTheNewestMeasurementCounts)
{
    writeFile(folder.path() + "/index.json", 100);
    source.entries = 2;
    HistoryPane pane(settings(), source);
    QSignalSpy measured(&pane, &HistoryPane::diskSizeMeasured);
    // Nothing is measured before the history's writes are done.
    EXPECT_EQ(pane.summaryText()->text(), "2");
    ASSERT_TRUE(QTest::qWaitFor([&] { return source.pending.size() == 1; }));

    source.finishWrites(); // the first measurement starts…
    source.entries = 3;    // …and the count changes before it ends
    writeFile(folder.path() + "/.new", 200000);
    emit source.entriesChanged();
    ASSERT_EQ(source.pending.size(), 1);
    // A measurement over this small folder may end before its start returns and is then
    // reported at once, while it was still the newest; one that ends later must never be.
    const qsizetype reportedEarly = measured.size();
    source.finishWrites();

    ASSERT_TRUE(QTest::qWaitFor([&] { return measured.size() > reportedEarly; }, 5000));
    QTest::qWait(100);
    ASSERT_EQ(measured.size(), reportedEarly + 1);
    const qint64 expected = platform::allocatedFolderSize(folder.path());
    EXPECT_EQ(pane.diskSize(), expected);
    EXPECT_EQ(pane.summaryText()->text(), HistoryPane::summary(3, expected));
}

TEST_F(HistoryPaneTest, EmptyingAsksFirstWithTheCountAndIsOffWithNothingToEmpty)
{
    std::optional<qsizetype> asked;
    bool answer = false;
    source.entries = 12;
    HistoryPane pane(settings(), source, [&](QWidget*, qsizetype count) {
        asked = count;
        return answer;
    });
    EXPECT_TRUE(pane.emptyButton()->isEnabled());
    pane.emptyButton()->click();
    EXPECT_EQ(asked, 12);
    EXPECT_EQ(source.removals, 0);

    answer = true;
    pane.emptyButton()->click();
    EXPECT_EQ(source.removals, 1);
    EXPECT_FALSE(pane.emptyButton()->isEnabled());
    EXPECT_TRUE(pane.summaryText()->text().startsWith("0"));

    pane.revealButton()->click();
    EXPECT_EQ(source.reveals, 1);
}

TEST_F(HistoryPaneTest, AfterEmptyingARealHistoryTheSizeIsThatOfTheEmptiedFolder)
{
    QTemporaryDir data;
    platform::Defaults historySettings(data.path() + "/settings.json");
    CaptureHistory history(data.path() + "/History", historySettings);
    QImage image(300, 200, QImage::Format_ARGB32);
    image.fill(Qt::darkCyan);
    for (int i = 0; i < 3; ++i)
        history.record(platform::BaseImage(image), QStringLiteral("Shot %1").arg(i));
    ASSERT_EQ(history.entries().size(), 3);

    CaptureHistorySource real(history);
    HistoryPane pane(settings(), real, [](QWidget*, qsizetype) { return true; });
    QSignalSpy measured(&pane, &HistoryPane::diskSizeMeasured);
    ASSERT_TRUE(measured.wait(5000));
    const qint64 full = measured.last().at(0).toLongLong();
    EXPECT_GT(full, 0);

    pane.askToEmpty();
    ASSERT_TRUE(measured.wait(5000));
    const qint64 emptied = measured.last().at(0).toLongLong();
    EXPECT_LT(emptied, full);
    EXPECT_EQ(emptied, platform::allocatedFolderSize(history.files().directory()));
    EXPECT_EQ(pane.diskSize(), emptied);
}

} // namespace

TEST_F(HistoryPaneTest, ARefusedFolderIsToldForAsLongAsTheApplicationRuns)
{
    HistoryPane working(settings(), source);
    EXPECT_TRUE(working.unavailableNote()->isHidden());

    source.refusal =
        "The history folder is a link or belongs to another user, so the history is off.";
    HistoryPane pane(settings(), source);
    pane.resize(620, pane.sizeHint().height());
    pane.show();
    EXPECT_FALSE(pane.unavailableNote()->isHidden());
    EXPECT_TRUE(pane.unavailableNote()->text().startsWith(source.refusal));
    EXPECT_TRUE(pane.unavailableNote()->text().contains(folder.path()));
    test::saveScreenshot(pane, "history-pane-refused-folder.png");
}
