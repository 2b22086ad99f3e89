#include "text/LinkToast.h"
#include "text/QuickAccess.h"

#include "TestPaths.h"
#include "support/RecordingAnnouncer.h"
#include "ui/platform/Announcer.h"

#include <QElapsedTimer>
#include <QEnterEvent>
#include <QGuiApplication>
#include <QPushButton>
#include <QScreen>
#include <QToolButton>
#include <QtTest/QTest>

#include <gtest/gtest.h>

using snapkin::LinkToast;

namespace {

using snapkin::test::RecordingAnnouncer;

class RecordingOpener final : public snapkin::LinkOpening {
public:
    void open(const QUrl& url) override { opened.append(url); }
    QList<QUrl> opened;
};

struct ShortDismissal {
    explicit ShortDismissal(int ms) { LinkToast::setDismissDelay(ms); }
    ~ShortDismissal()
    {
        LinkToast::dismiss();
        LinkToast::setDismissDelay(LinkToast::defaultDismissMs);
    }
};

} // namespace

TEST(LinkToast, ShowsTheHostAnnouncesItAndOpensTheLinkThenGoes)
{
    ShortDismissal guard(LinkToast::defaultDismissMs);
    RecordingAnnouncer announcer;
    RecordingOpener opener;
    const QUrl url("https://www.example.org/some/long/path?q=1");
    LinkToast::show("QR code link copied", url, opener);
    QPointer<LinkToast> toast = LinkToast::current();
    ASSERT_TRUE(toast);
    EXPECT_EQ(toast->host(), QStringLiteral("www.example.org"));
    EXPECT_EQ(announcer.said, QStringList{"QR code link copied. www.example.org"});
    EXPECT_EQ(toast->closeButton()->toolTip(), QStringLiteral("Close"));
    EXPECT_EQ(toast->closeButton()->accessibleName(), QStringLiteral("Close"));
    EXPECT_TRUE(toast->testAttribute(Qt::WA_ShowWithoutActivating));
    EXPECT_TRUE(toast->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(toast->windowFlags().testFlag(Qt::X11BypassWindowManagerHint));
    EXPECT_LE(toast->width(), LinkToast::maxWidth);
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    EXPECT_EQ(toast->geometry().bottom() + 1, screen.bottom() + 1 - LinkToast::bottomOffset);
    EXPECT_NEAR(toast->geometry().center().x(), screen.center().x(), 1);
    toast->grab().save(QStringLiteral(SNAPKIN_BUILD_DIR "/link-toast.png"));

    toast->openButton()->click();
    EXPECT_EQ(opener.opened, QList<QUrl>{url});
    EXPECT_EQ(LinkToast::current(), nullptr);
    QTest::qWait(0);
    EXPECT_TRUE(!toast || !toast->isVisible());
}

TEST(LinkToast, AUrlWithoutHostShowsTheWholeUrlAndIsAnnouncedWithoutIt)
{
    ShortDismissal guard(LinkToast::defaultDismissMs);
    RecordingOpener opener;
    RecordingAnnouncer announcer;
    const QUrl url("https:///only/a/path");
    ASSERT_TRUE(url.host().isEmpty());
    LinkToast::show("QR code link copied", url, opener);
    ASSERT_NE(LinkToast::current(), nullptr);
    EXPECT_EQ(LinkToast::current()->host(), url.toString(QUrl::FullyEncoded));
    EXPECT_EQ(announcer.said, QStringList{"QR code link copied. "});
    // A very long host still keeps the toast within its width.
    QStringList labels(6, QString(50, QLatin1Char('a')));
    const QUrl longHost("https://" + labels.join('.') + ".example.org/");
    ASSERT_TRUE(longHost.isValid());
    LinkToast::show("QR code link copied", longHost, opener);
    EXPECT_LE(LinkToast::current()->width(), LinkToast::maxWidth);
    LinkToast::current()->grab().save(
        QStringLiteral(SNAPKIN_BUILD_DIR "/link-toast-long-host.png"));
    LinkToast::current()->closeButton()->click();
    EXPECT_EQ(LinkToast::current(), nullptr);
}

TEST(LinkToast, ASecondToastReplacesTheFirstAndOutlivesTheFirstOnesTimer)
{
    // The first toast's timer is the shorter one, so it runs out while the second is up.
    ShortDismissal guard(200);
    RecordingOpener opener;
    LinkToast::show("QR code link copied", QUrl("https://one.example"), opener);
    QPointer<LinkToast> first = LinkToast::current();
    LinkToast::setDismissDelay(600);
    QElapsedTimer sinceSecond;
    sinceSecond.start();
    LinkToast::show("QR code link copied", QUrl("https://two.example"), opener);
    QPointer<LinkToast> second = LinkToast::current();
    QTest::qWait(0);
    EXPECT_TRUE(!first || !first->isVisible());
    // The second stays until its own time: measured by the clock, as a pause of a loaded
    // machine could outlast both timers.
    bool onlySecond = true;
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            LinkToast* current = LinkToast::current();
            if (current && current != second.data()) onlySecond = false;
            return current == nullptr;
        },
        10000));
    EXPECT_TRUE(onlySecond);
    EXPECT_GE(sinceSecond.elapsed(), 600 * 95 / 100);
}

TEST(QuickAccess, TheHostViewReportsHoverOnlyWhenToldWhereAndThePanelStaysPassive)
{
    snapkin::QuickAccessHostView view;
    QList<bool> reports;
    QPointF inside(5, 5);
    QEnterEvent enter(inside, inside, inside);
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(&view, &enter); // nobody listening: ignored
    view.onHover = [&](bool hovered) { reports.append(hovered); };
    QCoreApplication::sendEvent(&view, &enter);
    QCoreApplication::sendEvent(&view, &leave);
    EXPECT_EQ(reports, (QList<bool>{true, false}));

    snapkin::QuickAccessPanel panel(QRect(10, 20, 120, 80));
    EXPECT_EQ(panel.geometry(), QRect(10, 20, 120, 80));
    EXPECT_TRUE(panel.testAttribute(Qt::WA_ShowWithoutActivating));
    EXPECT_EQ(panel.windowType(), Qt::Tool);

    // No thumbnail exists, so a panel hidden for a capture is never brought back.
    snapkin::QuickAccessController controller;
    EXPECT_TRUE(controller.panels().isEmpty());
    EXPECT_FALSE(controller.stillOwns(&panel));
    {
        struct Action final : snapkin::QuickAccessTextAction {
            void copyText(const QImage&) override {}
        } action;
        controller.setTextAction(&action);
        EXPECT_EQ(controller.textAction(), &action);
    }
    EXPECT_EQ(controller.textAction(), nullptr); // held weakly
}
