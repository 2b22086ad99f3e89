#include "AppTestSupport.h"
#include "TestPaths.h"

#include "platform/DesktopEntry.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using snapkin::platform::DesktopEntry;

namespace {

const QString share = QStringLiteral(SNAPKIN_BUILD_DIR "/share");

// desktop-file-validate's complaints about `path`; empty when it passes.
QString validate(const QString& path)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QStringLiteral("desktop-file-validate"), {path});
    if (!p.waitForFinished(20000)) return QStringLiteral("desktop-file-validate did not finish");
    const QString output = QString::fromUtf8(p.readAll()).trimmed();
    return p.exitCode() == 0 && output.isEmpty()
               ? QString()
               : output + " (exit " + QString::number(p.exitCode()) + ")";
}

QString read(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

} // namespace

TEST(DesktopEntries, TheLauncherInPlaceAndInstalledPassTheValidator)
{
    ASSERT_FALSE(QStandardPaths::findExecutable("desktop-file-validate").isEmpty());
    const QString inPlace = share + "/applications/snapkin.desktop";
    EXPECT_EQ(validate(inPlace), QString());
    EXPECT_EQ(validate(SNAPKIN_BUILD_DIR "/install/snapkin.desktop"), QString());

    const QString text = read(inPlace);
    EXPECT_TRUE(text.contains("Exec=" SNAPKIN_BUILD_DIR "/snapkin %F\n"));
    for (const char* type : {"image/png;", "image/jpeg;", "application/x-snapkin;"})
        EXPECT_TRUE(text.contains(type)) << type;
}

TEST(DesktopEntries, TheAutostartEntryStartsThisExecutableAndPassesTheValidator)
{
    QTemporaryDir dir;
    for (const QString program : {QStringLiteral("/opt/snapkin/bin/snapkin"),
                                  QStringLiteral("/home/a user/My $Apps/snap\"kin")}) {
        const QString text = DesktopEntry::autostartText(program);
        ASSERT_FALSE(text.isEmpty());
        EXPECT_TRUE(text.contains("X-GNOME-Autostart-enabled=true"));
        EXPECT_FALSE(text.contains("%F")); // nothing to open at login
        const QString path = dir.filePath("snapkin.desktop");
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text.toUtf8());
        file.close();
        EXPECT_EQ(validate(path), QString()) << program.toStdString();
    }
    EXPECT_EQ(DesktopEntry::execArgument("/usr/bin/snapkin"), "/usr/bin/snapkin");
    EXPECT_EQ(DesktopEntry::execArgument("/a b/$x"), "\"/a b/\\\\$x\"");
    // A per cent sign would start a field code; a line break would end the entry's line.
    EXPECT_EQ(DesktopEntry::execArgument("/opt/100%/snapkin"), "/opt/100%%/snapkin");
    EXPECT_EQ(DesktopEntry::execArgument("/a\nb"), "\"/a\\nb\"");
}

TEST(DesktopEntries, TheDocumentTypeIsAcceptedAndNamesTheGlob)
{
    QTemporaryDir mime;
    ASSERT_TRUE(QDir().mkpath(mime.filePath("packages")));
    ASSERT_TRUE(
        QFile::copy(share + "/mime/packages/snapkin.xml", mime.filePath("packages/snapkin.xml")));
    QProcess update;
    update.setProcessChannelMode(QProcess::MergedChannels);
    update.start("update-mime-database", {mime.path()});
    ASSERT_TRUE(update.waitForFinished(30000));
    EXPECT_EQ(update.exitCode(), 0) << update.readAll().toStdString();
    EXPECT_TRUE(read(mime.filePath("globs2")).contains("application/x-snapkin:*.snapkin"));
}

TEST(DesktopEntries, TheIconComesInEveryThemeSize)
{
    EXPECT_TRUE(QFile::exists(share + "/icons/hicolor/scalable/apps/snapkin.svg"));
    for (const int size : {16, 22, 24, 32, 48, 64, 128, 256, 512}) {
        const QImage png(
            QStringLiteral("%1/icons/hicolor/%2x%2/apps/snapkin.png").arg(share).arg(size));
        EXPECT_EQ(png.size(), QSize(size, size)) << size;
        // Drawn, not empty: the middle of the icon is opaque.
        if (!png.isNull()) EXPECT_EQ(qAlpha(png.pixel(size / 2, size / 2)), 255) << size;
    }
    // The launcher, window and tray wear the brand's pink mark, as the welcome and About
    // windows do; documents their own page with that mark.
    const QImage icon(share + "/icons/hicolor/128x128/apps/snapkin.png");
    ASSERT_FALSE(icon.isNull());
    const QColor tile = icon.pixelColor(20, 110);
    EXPECT_GT(tile.red(), 200);
    EXPECT_LT(tile.green(), 110);
    EXPECT_GT(tile.red() - tile.blue(), 80);
    EXPECT_TRUE(
        QFile::exists(share + "/icons/hicolor/scalable/mimetypes/application-x-snapkin.svg"));
}
