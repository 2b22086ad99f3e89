#include "../capture/X11Support.h"
#include "TestPaths.h"

#include "platform/SettingsTable.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace snapkin;
using platform::SettingsTable;

namespace {

// A settings file that gives every key the application reads the same hostile value.
QByteArray everyKeySetTo(const QByteArray& value)
{
    QByteArray json = "{";
    for (const auto& spec : SettingsTable::all()) {
        if (json.size() > 1) json += ',';
        json += '"' + QByteArray(spec.key) + "\":" + value;
    }
    return json + '}';
}

struct Hostile {
    const char* name;
    QByteArray value; // as JSON text
};

void PrintTo(const Hostile& hostile, std::ostream* os)
{
    *os << hostile.name;
}

// The resident memory of a process, from /proc; 0 when unknown.
qint64 residentKiB(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly)) return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:")) return line.mid(6).trimmed().split(' ').first().toLongLong();
    }
    return 0;
}

QString storedTab(const QString& settingsFile)
{
    QFile file(settingsFile);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return QJsonDocument::fromJson(file.readAll()).object().value("settingsTab").toString();
}

bool xdotool(const QStringList& arguments)
{
    return QProcess::execute(QStringLiteral("xdotool"), arguments) == 0;
}

class AppHostileSettings : public ::testing::TestWithParam<Hostile> {};

} // namespace

TEST_P(AppHostileSettings, StartsCapturesAndShowsEverySettingsTab)
{
    test::WindowManager wm;
    ASSERT_TRUE(wm.running());
    QTemporaryDir config;
    const QString settingsFile = config.filePath(QStringLiteral("snapkin/settings.json"));
    QDir().mkpath(config.filePath(QStringLiteral("snapkin")));
    QFile file(settingsFile);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(everyKeySetTo(GetParam().value));
    file.close();
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    test::ChildProcess app(QStringLiteral(SNAPKIN_BUILD_DIR "/snapkin"));

    // Without a tray the application starts on its start window.
    ASSERT_FALSE(test::findVisibleWindow(QStringLiteral("^Start Window$")).isEmpty());
    xdotool({QStringLiteral("key"), QStringLiteral("ctrl+alt+3")});
    const QString capture =
        test::findVisibleWindow(QString::fromUtf8("^Untitled — 1920 × 1080 px"));
    ASSERT_FALSE(capture.isEmpty());
    xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), capture});
    xdotool({QStringLiteral("key"), QStringLiteral("ctrl+comma")});
    const QString settings = test::findVisibleWindow(QStringLiteral("^Settings"));
    ASSERT_FALSE(settings.isEmpty());
    // Each tab shown is remembered in the settings file, so the file says which one is up.
    QStringList shown;
    for (int i = 0; i < 5; ++i) {
        const QString before = storedTab(settingsFile);
        xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), settings});
        xdotool({QStringLiteral("key"), QStringLiteral("ctrl+Tab")});
        test::waitUntil([&] { return storedTab(settingsFile) != before; }, 5000);
        shown << storedTab(settingsFile);
    }
    shown.sort();
    EXPECT_EQ(shown, (QStringList{"capture", "editor", "general", "history", "shortcuts"}));
    EXPECT_EQ(app.process.state(), QProcess::Running);
    // Far below what one hostile value used to cost (hundreds of megabytes); the figure on a
    // small screen is measured by bench/hostile-settings-rss. (Under a sanitizer its shadow
    // memory is resident too.)
#ifndef SNAPKIN_SANITIZED
    EXPECT_LT(residentKiB(app.process.processId()), 200 * 1024);
#endif
}

INSTANTIATE_TEST_SUITE_P(
    EveryKey, AppHostileSettings,
    ::testing::Values(Hostile{"huge", "1e308"}, Hostile{"negative", "-86400"},
                      Hostile{"notANumber", "NaN"}, Hostile{"notANumberText", "\"NaN\""},
                      // A file of 4 MB, set aside whole; then strings over every cap in a file
                      // small enough to be read.
                      Hostile{"fourMegabytes", '"' + QByteArray(48 << 10, 'x') + '"'},
                      Hostile{"longText", '"' + QByteArray(9000, 'x') + '"'},
                      Hostile{"object", "{\"a\":{\"b\":[1,2]}}"},
                      Hostile{"array", "[1,\"two\",[3],{}]"}),
    [](const ::testing::TestParamInfo<Hostile>& info) { return std::string(info.param.name); });
