#include "app/AppCommands.h"
#include "platform/BuildInfo.h"
#include "settings/WhatsNewWindow.h"

#include <gtest/gtest.h>

using namespace snapkin;

// The version the build declares and the one the Help menu and What's New speak of are one.
TEST(Version, TheHelpMenuAndWhatsNewNameTheBuildsVersion)
{
    const QString version = platform::BuildInfo::version();
    EXPECT_EQ(version, "2.0.0");
    const QString spoken = QStringLiteral("Snapkin ") + version.section(u'.', 0, 1);
    EXPECT_TRUE(commandTitle(AppCommand::whatsNew).contains(spoken))
        << commandTitle(AppCommand::whatsNew).toStdString();
    WhatsNewWindow window{QKeySequence()};
    EXPECT_TRUE(window.windowTitle().contains(spoken)) << window.windowTitle().toStdString();
}
