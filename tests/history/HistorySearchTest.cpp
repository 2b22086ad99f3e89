#include "HistorySupport.h"

#include "history/CaptureHistory.h"
#include "history/HistorySearch.h"
#include "platform/Defaults.h"

#include <QLocale>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace snapkin;
using namespace snapkin::testing;

namespace {

class HistorySearchTest : public ::testing::Test {
protected:
    QTemporaryDir root;
    platform::Defaults defaults{root.filePath("settings.json")};
    HistoryStore files{root.filePath("History")};
    HistoryEntry cafe = entry(QUuid::createUuid(), QString::fromUtf8("Caf\u00e9 menu"),
                              utc("2026-03-05T10:00:00Z"));
    HistoryEntry invoice = entry(QUuid::createUuid(), "Firefox", utc("2026-02-10T10:00:00Z"));
    HistoryEntry terminal = entry(QUuid::createUuid(), "Terminal", utc("2025-12-24T18:30:00Z"));
    std::unique_ptr<CaptureHistory> history;

    void SetUp() override
    {
        invoice.recognizedText =
            QString::fromUtf8("INVOICE 2041\nTotal: 120 \u20ac\nStra\u00dfe 5");
        terminal.recognizedText = QString("");
        seedEntries(files, {cafe, invoice, terminal});
        history = std::make_unique<CaptureHistory>(files.directory(), defaults);
    }
};

TEST_F(HistorySearchTest, EveryWordMustBeInTheTitleTheDateOrTheText)
{
    using Ids = QList<QUuid>;
    EXPECT_EQ(history->search(""), (Ids{cafe.id, invoice.id, terminal.id})) << "history order";
    EXPECT_EQ(history->search("  "), (Ids{cafe.id, invoice.id, terminal.id}));
    EXPECT_EQ(history->search("cafe"), Ids{cafe.id}) << "accents and case are ignored";
    EXPECT_EQ(history->search(QString::fromUtf8("CAF\u00c9")), Ids{cafe.id});
    EXPECT_EQ(history->search("invoice total"), Ids{invoice.id});
    EXPECT_EQ(history->search("invoice menu"), Ids{});
    EXPECT_EQ(history->search("strasse"), Ids{invoice.id}) << "folded like the text";
    EXPECT_EQ(history->search("inv"), Ids{invoice.id}) << "a prefix while typing";
    EXPECT_EQ(history->search("2025-12-24"), Ids{terminal.id});

    const QDate march = cafe.created.toLocalTime().date();
    EXPECT_EQ(
        history->search(QLocale().monthName(march.month()) + " " + QString::number(march.year())),
        Ids{cafe.id});
}

TEST_F(HistorySearchTest, ALineIsRebuiltWhenItsEntryChanges)
{
    EXPECT_TRUE(history->search("receipt").isEmpty());
    history->setRecognizedText("Receipt no. 7", cafe.id);
    EXPECT_EQ(history->search("receipt"), QList<QUuid>{cafe.id});
    history->remove({cafe.id});
    EXPECT_TRUE(history->search("receipt").isEmpty());
}

TEST(HistorySearchFolding, FoldsCaseAndAccentsAndSplitsAtAnyWhiteSpace)
{
    EXPECT_EQ(historySearch::folded(QString::fromUtf8("\u00c5ngstr\u00f6m na\u00efve")),
              "angstrom naive");
    EXPECT_EQ(historySearch::queryWords(QString::fromUtf8(" Cr\u00e8me\tBR\u00dbL\u00c9E\n ")),
              (QStringList{"creme", "brulee"}));
}

} // namespace
