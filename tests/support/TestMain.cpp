#include "TestFonts.h"

#include <QApplication>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

namespace {

// Text is drawn with the fonts the tests choose, not with the machine's: a test that measures
// ink or widths would otherwise pass on one desktop and fail on another. The configuration
// reaches the programs the tests start (the application, the command-line tools) through the
// environment too. The desktop's own look (a platform theme, the desktop's font settings) is
// left out for the same reason.
bool useTestFonts()
{
    bool complete = true;
    for (const char* file : SNAPKIN_TEST_FONT_FILES) {
        if (!QFileInfo::exists(QString::fromUtf8(file))) {
            std::fprintf(stderr, "Font %s is missing: scripts/setup installs it.\n", file);
            complete = false;
        }
    }
    qputenv("FONTCONFIG_FILE", SNAPKIN_TEST_FONTCONFIG);
    for (const char* name :
         {"FONTCONFIG_PATH", "FONTCONFIG_SYSROOT", "QT_QPA_PLATFORMTHEME", "QT_FONT_DPI",
          "XDG_CURRENT_DESKTOP", "DESKTOP_SESSION", "KDE_FULL_SESSION", "GNOME_DESKTOP_SESSION_ID"})
        qunsetenv(name);
    return complete;
}

} // namespace

// Every test program runs with its own settings, data and runtime folders, so no test reads or
// writes the user's files. Widget tests draw offscreen unless a test program is run under X11.
int main(int argc, char** argv)
{
    bool listing = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--gtest_list_tests") == 0) listing = true;
    }
    ::testing::InitGoogleTest(&argc, argv);
    if (listing) return RUN_ALL_TESTS();
    if (!useTestFonts()) return 2;

    // A test that runs this program again as a child (to kill it, say) may hand it its own
    // folders through SNAPKIN_TEST_HOME: the child then shares the parent's data (the secret
    // temporaries are signed with among them) and, killed, leaves no folder of its own behind.
    QTemporaryDir home;
    if (!home.isValid()) return 2;
    QByteArray root = home.path().toUtf8();
    if (const QByteArray shared = qgetenv("SNAPKIN_TEST_HOME"); !shared.isEmpty()) {
        home.remove();
        root = shared;
        qunsetenv("SNAPKIN_TEST_HOME");
    }
    qputenv("XDG_CONFIG_HOME", root + "/config");
    qputenv("XDG_DATA_HOME", root + "/data");
    qputenv("XDG_CACHE_HOME", root + "/cache");
    qputenv("XDG_RUNTIME_DIR", root + "/runtime");
    QDir().mkpath(QString::fromUtf8(root) + "/runtime");
    QFile::setPermissions(QString::fromUtf8(root) + "/runtime",
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    if (qEnvironmentVariable("SNAPKIN_TEST_PLATFORM") == "xcb") {
        qputenv("QT_QPA_PLATFORM", "xcb");
    } else if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName("snapkin");
    return RUN_ALL_TESTS();
}
