#include "settings/SettingsHooks.h"

#include "SettingsTestSupport.h"

#include "platform/Defaults.h"
#include "settings/HistoryPane.h"
#include "settings/OnboardingView.h"
#include "ui/platform/Appearance.h"
#include "ui/platform/ContrastStyle.h"

#include <QApplication>
#include <QFuture>
#include <QLabel>
#include <QVBoxLayout>
#include <QWidget>
#include <gtest/gtest.h>

#include <memory>

using namespace snapkin;

namespace {

TEST(StartWindowLink, TakesThePalettesLinkColourWheneverTheAppearanceChanges)
{
    int opened = 0;
    const SettingsHooks hooks{.openStartWindow = [&] { ++opened; }};
    platform::Appearance::apply("light");
    // A link made in the light look and shown while the look changes, then one made in the
    // dark look.
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    QLabel* early = startWindowLink(hooks);
    layout->addWidget(early);
    window.show();
    const QColor lightLink = QApplication::palette().color(QPalette::Link);
    EXPECT_GT(test::pixelsOf(early, lightLink), 10);

    for (const char* look : {"dark", "light", "dark"}) {
        platform::Appearance::apply(QString::fromLatin1(look));
        // The new palette reaches the widgets through the event loop.
        QCoreApplication::processEvents();
        const QColor link = QApplication::palette().color(QPalette::Link);
        const QColor other = QString::fromLatin1(look) == QLatin1String("dark")
                                 ? lightLink
                                 : QColor(0x6c, 0xb4, 0xff);
        EXPECT_GT(test::pixelsOf(early, link), 10) << look;
        EXPECT_EQ(test::pixelsOf(early, other), 0) << look;
        // Readable on the window as body text must be.
        EXPECT_GE(platform::ContrastStyle::contrastRatio(
                      link, QApplication::palette().color(QPalette::Window)),
                  4.5)
            << look;
    }
    std::unique_ptr<QLabel> late(startWindowLink(hooks));
    late->resize(late->sizeHint());
    EXPECT_GT(test::pixelsOf(late.get(), QApplication::palette().color(QPalette::Link)), 10);

    emit early->linkActivated(QStringLiteral("start"));
    EXPECT_EQ(opened, 1);
    EXPECT_EQ(startWindowLink(SettingsHooks{}), nullptr);
    platform::Appearance::apply("system");
}

// The History tab's link and the welcome window's, each made in the light look and shown as
// the appearance turns dark.
TEST(StartWindowLink, TheHistoryTabAndTheWelcomePageFollowALiveSwitchToDark)
{
    platform::Defaults& settings = platform::Defaults::standard();
    settings.removeAllStored();
    const SettingsHooks shell{.openStartWindow = [] {}};
    platform::Appearance::apply("light");
    const QColor lightLink = QApplication::palette().color(QPalette::Link);
    test::FakeHistorySource source;
    HistoryPane pane(settings, source, HistoryPane::defaultConfirm(), shell);
    pane.resize(580, 560);
    pane.show();
    OnboardingView welcome([] { return QtFuture::makeReadyFuture(true); },
                           QKeySequence(QStringLiteral("Ctrl+Shift+V")), shell);
    welcome.setStep(OnboardingView::pageCount - 1);
    welcome.resize(welcome.sizeHint().expandedTo(QSize(560, 620)));
    welcome.show();
    QCoreApplication::processEvents();

    platform::Appearance::apply("dark");
    QCoreApplication::processEvents();
    const QColor darkLink = QApplication::palette().color(QPalette::Link);
    for (QWidget* window : {static_cast<QWidget*>(&pane), static_cast<QWidget*>(&welcome)}) {
        auto* link = window->findChild<QLabel*>("startWindowLink");
        ASSERT_NE(link, nullptr);
        EXPECT_GT(test::pixelsOf(link, darkLink), 10) << window->metaObject()->className();
        EXPECT_EQ(test::pixelsOf(link, lightLink), 0) << window->metaObject()->className();
    }
    test::saveScreenshot(pane, "settings-history-dark.png");
    test::saveScreenshot(welcome, "settings-welcome-dark.png");
    platform::Appearance::apply("system");
    settings.removeAllStored();
}

} // namespace
