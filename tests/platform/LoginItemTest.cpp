#include "platform/LoginItem.h"
#include "platform/DesktopEntry.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using snapkin::platform::LoginItem;

namespace {

// Points XDG_CONFIG_HOME at a fresh folder for one test, and back afterwards.
class LoginItemTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_home.isValid());
        m_previous = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", m_home.path().toUtf8());
    }
    void TearDown() override { qputenv("XDG_CONFIG_HOME", m_previous); }

    QString autostart() const { return m_home.path() + "/autostart"; }
    QByteArray entryText() const
    {
        QFile file(LoginItem::entryPath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QTemporaryDir m_home;
    QByteArray m_previous;
};

TEST_F(LoginItemTest, TurningOnWritesAnEntryThatStartsTheProgramAndOffRemovesIt)
{
    EXPECT_EQ(LoginItem::entryPath(), autostart() + "/snapkin.desktop");
    EXPECT_FALSE(LoginItem::isEnabled());

    ASSERT_TRUE(LoginItem::setEnabled(true, "/usr/bin/snapkin"));
    EXPECT_TRUE(LoginItem::isEnabled());
    const QByteArray text = entryText();
    EXPECT_TRUE(text.startsWith("[Desktop Entry]\n"));
    EXPECT_TRUE(text.contains("\nType=Application\n"));
    EXPECT_TRUE(text.contains("\nExec=/usr/bin/snapkin\n"));
    // No temporary is left beside it.
    EXPECT_EQ(QDir(autostart()).entryList(QDir::Files | QDir::Hidden),
              QStringList{"snapkin.desktop"});

    ASSERT_TRUE(LoginItem::setEnabled(false));
    EXPECT_FALSE(QFile::exists(LoginItem::entryPath()));
    EXPECT_FALSE(LoginItem::isEnabled());
    // Off again is no failure.
    EXPECT_TRUE(LoginItem::setEnabled(false));
}

TEST_F(LoginItemTest, APathWithSpacesAndReservedCharactersIsQuotedAndEscaped)
{
    ASSERT_TRUE(LoginItem::setEnabled(true, "/opt/My Apps/snap$kin 100%"));
    EXPECT_TRUE(entryText().contains("\nExec=\"/opt/My Apps/snap\\\\$kin 100%%\"\n"));
    // A backslash takes four: one for the quoting rule, doubled by the string rule.
    EXPECT_EQ(snapkin::platform::DesktopEntry::execArgument("/a\\b c"), "\"/a\\\\\\\\b c\"");
    EXPECT_EQ(snapkin::platform::DesktopEntry::execArgument("/plain/path"), "/plain/path");
}

TEST_F(LoginItemTest, AnEntryTheDesktopHidIsOff)
{
    QDir().mkpath(autostart());
    QFile file(LoginItem::entryPath());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("[Desktop Entry]\nType=Application\nExec=snapkin\nHidden=true\n");
    file.close();
    EXPECT_FALSE(LoginItem::isEnabled());
    // Turning it on writes a fresh entry without Hidden.
    ASSERT_TRUE(LoginItem::setEnabled(true, "/usr/bin/snapkin"));
    EXPECT_TRUE(LoginItem::isEnabled());
}

TEST_F(LoginItemTest, AFileWhereTheFolderGoesIsAFailureAndLeavesItOff)
{
    // Permissions do not stop root; a file in the folder's place does.
    QFile blocker(autostart());
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const auto result = LoginItem::setEnabled(true, "/usr/bin/snapkin");
    ASSERT_FALSE(result);
    EXPECT_EQ(result.error(), LoginItem::Error::cannotCreateFolder);
    EXPECT_FALSE(LoginItem::userMessage(result.error()).isEmpty());
    EXPECT_FALSE(LoginItem::isEnabled());
}

} // namespace
