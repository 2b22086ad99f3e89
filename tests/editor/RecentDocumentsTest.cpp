#include "editor/RecentDocuments.h"
#include "platform/Defaults.h"

#include <QDir>
#include <QDomDocument>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace snapkin;

namespace {

class Recent : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        platform::Defaults::standard().removeAllStored();
    }
    void TearDown() override { platform::Defaults::standard().removeAllStored(); }

    QString touch(const QString& relative)
    {
        const QString path = dir.filePath(relative);
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        return path;
    }
    static QString read(const QString& path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }

    QTemporaryDir dir;
};

} // namespace

TEST_F(Recent, TitlesTellEqualNamesApartByTheirFolder)
{
    RecentDocuments recent;
    for (const QString& p :
         {touch("Desktop/Shot.png"), touch("Downloads/Shot.png"), touch("x/Desktop/Notes.snapkin"),
          touch("y/Desktop/Notes.snapkin"), touch("z/shot.png"), touch("z/Other.png")}) {
        recent.noteNewRecentDocument(QUrl::fromLocalFile(p));
    }
    recent.refresh();
    auto titleOf = [&](const QString& relative) {
        return recent.title(QUrl::fromLocalFile(dir.filePath(relative)));
    };
    EXPECT_EQ(titleOf("Desktop/Shot.png"), "Shot.png — Desktop");
    EXPECT_EQ(titleOf("Downloads/Shot.png"), "Shot.png — Downloads");
    EXPECT_EQ(titleOf("z/Other.png"), "Other.png");
    // Letter case makes a different name; equal folder names stay equal.
    EXPECT_EQ(titleOf("z/shot.png"), "shot.png");
    EXPECT_EQ(titleOf("x/Desktop/Notes.snapkin"), titleOf("y/Desktop/Notes.snapkin"));
}

TEST_F(Recent, KeepsTheTenNewestThatStillExistAndSignalsOnlyChanges)
{
    RecentDocuments recent;
    QSignalSpy changes(&recent, &RecentDocuments::urlsChanged);
    QStringList paths;
    for (int i = 0; i < 12; ++i) {
        paths << touch(QString("f%1.png").arg(i));
        recent.noteNewRecentDocument(QUrl::fromLocalFile(paths.last()));
    }
    recent.noteNewRecentDocument(QUrl::fromLocalFile(paths[5])); // again: moves to the front
    recent.refresh();
    ASSERT_EQ(recent.urls().size(), RecentDocuments::maxCount);
    EXPECT_EQ(recent.urls()[0], QUrl::fromLocalFile(paths[5]));
    EXPECT_EQ(recent.urls()[1], QUrl::fromLocalFile(paths[11]));
    EXPECT_EQ(recent.urls().count(QUrl::fromLocalFile(paths[5])), 1);
    EXPECT_EQ(changes.count(), 1);

    recent.refresh();
    EXPECT_EQ(changes.count(), 1);

    QFile::remove(paths[11]);
    recent.refresh();
    EXPECT_EQ(changes.count(), 2);
    EXPECT_FALSE(recent.urls().contains(QUrl::fromLocalFile(paths[11])));

    recent.clear();
    recent.refresh();
    EXPECT_TRUE(recent.urls().isEmpty());
}

TEST_F(Recent, TheDesktopsListKeepsOtherProgramsEntries)
{
    const QString xbel = dir.filePath("recently-used.xbel");
    QFile f(xbel);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(R"(<?xml version="1.0" encoding="UTF-8"?>
<xbel version="1.0"
      xmlns:bookmark="http://www.freedesktop.org/standards/desktop-bookmarks"
      xmlns:mime="http://www.freedesktop.org/standards/shared-mime-info">
  <bookmark href="file:///home/u/letter.odt" added="2026-01-01T10:00:00.000000Z" modified="2026-01-01T10:00:00.000000Z" visited="2026-01-01T10:00:00.000000Z">
    <info>
      <metadata owner="http://freedesktop.org">
        <mime:mime-type type="application/vnd.oasis.opendocument.text"/>
        <bookmark:applications>
          <bookmark:application name="Writer" exec="&apos;writer %u&apos;" modified="2026-01-01T10:00:00.000000Z" count="3"/>
        </bookmark:applications>
      </metadata>
    </info>
  </bookmark>
</xbel>
)");
    f.close();

    const QString shot = touch("My Shot.png");
    const QDateTime when(QDate(2026, 3, 5), QTime(14, 7, 9), Qt::UTC);
    ASSERT_TRUE(RecentDocuments::addToRecentlyUsed(xbel, shot, when));
    ASSERT_TRUE(RecentDocuments::addToRecentlyUsed(xbel, shot, when.addSecs(60)));
    const QString text = read(xbel);
    EXPECT_TRUE(text.contains("href=\"file:///home/u/letter.odt\""));
    EXPECT_TRUE(text.contains("name=\"Writer\""));
    EXPECT_TRUE(text.contains("count=\"3\""));
    EXPECT_TRUE(
        text.contains("xmlns:bookmark=\"http://www.freedesktop.org/standards/desktop-bookmarks\""));
    EXPECT_EQ(text.count("My%20Shot.png"), 1);
    EXPECT_TRUE(text.contains("type=\"image/png\""));
    EXPECT_TRUE(text.contains("name=\"Snapkin\""));
    EXPECT_TRUE(text.contains("count=\"2\""));
    EXPECT_TRUE(text.contains("visited=\"2026-03-05T14:08:09.000000Z\""));
    EXPECT_TRUE(text.contains("added=\"2026-03-05T14:07:09.000000Z\""));

    // A file that does not parse is left exactly as it is.
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write("<xbel><bookmark");
    f.close();
    EXPECT_FALSE(RecentDocuments::addToRecentlyUsed(xbel, shot, when));
    EXPECT_EQ(read(xbel), "<xbel><bookmark");

    // None yet: one is made.
    const QString fresh = dir.filePath("data/recently-used.xbel");
    ASSERT_TRUE(RecentDocuments::addToRecentlyUsed(fresh, shot, when));
    QDomDocument made;
    ASSERT_TRUE(made.setContent(read(fresh)));
    EXPECT_EQ(made.documentElement().tagName(), "xbel");
    EXPECT_EQ(made.documentElement().attribute("version"), "1.0");
    EXPECT_EQ(made.documentElement().elementsByTagName("bookmark").size(), 1);
}

TEST_F(Recent, HeldNotesAreWrittenInTheirOrderWhenTheLastHoldEnds)
{
    const QString a = touch("held-a.png"), b = touch("held-b.png"), c = touch("held-c.png");
    const auto stored = [] { return platform::Defaults::standard().get(keys::recentDocuments); };
    RecentDocuments::noteNewRecentDocument(QUrl::fromLocalFile(a));
    RecentDocuments::holdNotes();
    RecentDocuments::holdNotes();
    RecentDocuments::noteNewRecentDocument(QUrl::fromLocalFile(b));
    RecentDocuments::noteNewRecentDocument(QUrl::fromLocalFile(c));
    RecentDocuments::releaseNotes();
    EXPECT_EQ(stored(), QStringList{a});
    EXPECT_FALSE(read(RecentDocuments::recentlyUsedPath()).contains("held-c.png"));
    RecentDocuments::releaseNotes();
    EXPECT_EQ(stored(), (QStringList{c, b, a}));
    EXPECT_TRUE(read(RecentDocuments::recentlyUsedPath()).contains("held-c.png"));
    // Released once more than held: notes are written at once again.
    RecentDocuments::releaseNotes();
    RecentDocuments::noteNewRecentDocument(QUrl::fromLocalFile(a));
    EXPECT_EQ(stored(), (QStringList{a, c, b}));
}

TEST_F(Recent, ClearingForgetsNotesStillHeld)
{
    const QString a = touch("cleared-a.png");
    RecentDocuments::holdNotes();
    RecentDocuments::noteNewRecentDocument(QUrl::fromLocalFile(a));
    RecentDocuments::clear();
    RecentDocuments::releaseNotes();
    EXPECT_TRUE(platform::Defaults::standard().get(keys::recentDocuments).isEmpty());
}

// A second instance on another display shares the settings file: what it notes or clears shows
// here the next time the list is read.
TEST_F(Recent, ShowsWhatAnotherInstanceNotedOrCleared)
{
    const QString mine = touch("mine.png");
    const QString theirs = touch("theirs.png");
    platform::Defaults other(platform::Defaults::standard().filePath()); // started meanwhile
    RecentDocuments::noteNewRecentDocument(QUrl::fromLocalFile(mine));
    other.set(keys::recentDocuments, {theirs});

    RecentDocuments recent;
    EXPECT_EQ(recent.urls(), (QList<QUrl>{QUrl::fromLocalFile(theirs), QUrl::fromLocalFile(mine)}));

    other.removeObject(keys::recentDocuments);
    recent.refresh();
    EXPECT_TRUE(recent.urls().isEmpty());
}
