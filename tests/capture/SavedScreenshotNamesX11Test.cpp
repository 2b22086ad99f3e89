// The application from the outside: a capture saved into the default folder is named in
// English whatever language the interface speaks.

#include "TestPaths.h"
#include "X11Support.h"

#include "platform/L10n.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace snapkin;

TEST(SavedScreenshotNames, AGermanInterfaceSavesUnderTheEnglishName)
{
    test::WindowManager wm;
    ASSERT_TRUE(wm.running());
    QTemporaryDir home;
    const QString folder = home.filePath(QStringLiteral("Shots"));
    ASSERT_TRUE(QDir().mkpath(folder));
    ASSERT_TRUE(QDir().mkpath(home.filePath(QStringLiteral("config/snapkin"))));
    QFile settings(home.filePath(QStringLiteral("config/snapkin/settings.json")));
    ASSERT_TRUE(settings.open(QIODevice::WriteOnly));
    settings.write(QJsonDocument(QJsonObject{{"appLanguage", "de"},
                                             {"afterCaptureShow", false},
                                             {"afterCaptureSaveToDisk", true},
                                             {"defaultSaveFolder", folder},
                                             {"defaultSaveFolderBookmark", folder}})
                       .toJson());
    settings.close();
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.filePath(QStringLiteral("config"))));
    qputenv("XDG_DATA_HOME", QFile::encodeName(home.filePath(QStringLiteral("data"))));
    test::ChildProcess app(QStringLiteral(SNAPKIN_BUILD_DIR "/snapkin"));

    // Without a tray the application starts on its start window, in German.
    platform::L10n::setLanguage(QStringLiteral("de"));
    const QString startWindow = platform::L10n::text("Start Window");
    platform::L10n::setLanguage(QStringLiteral("en"));
    ASSERT_NE(startWindow, QStringLiteral("Start Window"));
    ASSERT_FALSE(
        test::findVisibleWindow(QLatin1Char('^') + startWindow + QLatin1Char('$')).isEmpty());

    // Full screen (Ctrl+Alt+3), pressed again while the shortcut may not be held yet.
    const auto saved = [&] { return QDir(folder).entryList(QDir::Files | QDir::NoDotAndDotDot); };
    for (int attempt = 0; attempt < 3 && saved().isEmpty(); ++attempt) {
        QProcess::execute(QStringLiteral("xdotool"), {"key", "ctrl+alt+3"});
        test::waitUntil([&] { return !saved().isEmpty(); }, 5000);
    }
    const QStringList files = saved();
    ASSERT_FALSE(files.isEmpty());
    static const QRegularExpression name(
        QStringLiteral(R"(^Screenshot \d{4}-\d\d-\d\d at \d\d\.\d\d\.\d\d( \d+)?\.png$)"));
    for (const QString& file : files)
        EXPECT_TRUE(name.match(file).hasMatch()) << file.toStdString();
    EXPECT_EQ(app.process.state(), QProcess::Running);
}
