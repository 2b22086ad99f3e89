#include "SnapkinVersion.h"
#include "app/Application.h"
#include "platform/Defaults.h"
#include "platform/FontWarmUp.h"
#include "platform/ImagePrefetch.h"
#include "platform/L10n.h"
#include "platform/MemoryRelease.h"
#include "platform/PoolThreads.h"
#include "platform/SingleInstance.h"
#include "settings/Language.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>
#include <QIcon>

#include <cstdio>
#include <optional>

namespace {

void describe(QCommandLineParser& parser)
{
    parser.setApplicationDescription(
        QObject::tr("Snapkin captures the screen and annotates screenshots."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QObject::tr("file"),
                                 QObject::tr("Images or Snapkin documents to open."),
                                 QObject::tr("[file…]"));
}

// --help and --version answer before the GUI starts, so they work without a display.
std::optional<int> answerWithoutGui(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    QCommandLineParser parser;
    describe(parser);
    if (!parser.parse(arguments)) return std::nullopt; // maybe an option Qt itself takes
    const bool help =
        parser.isSet(QStringLiteral("help")) || parser.isSet(QStringLiteral("help-all"));
    if (!help && !parser.isSet(QStringLiteral("version"))) return std::nullopt;
    QCoreApplication core(argc, argv);
    if (help) {
        std::fputs(qPrintable(parser.helpText()), stdout);
    } else {
        std::printf("%s %s\n", qPrintable(QCoreApplication::applicationName()),
                    qPrintable(QCoreApplication::applicationVersion()));
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    snapkin::platform::MemoryRelease::configureAllocator();
    QCoreApplication::setApplicationName("snapkin");
    QCoreApplication::setApplicationVersion(SNAPKIN_VERSION);
    if (const auto status = answerWithoutGui(argc, argv)) return *status;

    QApplication app(argc, argv);
    QCommandLineParser parser;
    describe(parser);
    if (!parser.parse(QApplication::arguments())) {
        std::fprintf(stderr, "%s\n\n%s", qPrintable(parser.errorText()),
                     qPrintable(parser.helpText()));
        return 2;
    }
    const QStringList files = parser.positionalArguments();
    // Before any picture: Qt's image work must never wait on a pool thread that can't start.
    const bool poolRuns = snapkin::platform::reservePoolThreads() > 0;
    // The pictures named start decoding as soon as the application object exists, before the
    // rest of the start, which the decode would otherwise wait for. Not before it: Qt's image
    // readers and the application's own start would then set up Qt's plugin paths at once, and
    // the application could fail to find its platform plugin.
    for (const QString& file : files)
        if (poolRuns && QFileInfo(file).isFile()) snapkin::platform::ImagePrefetch::start(file);
    QApplication::setApplicationDisplayName("Snapkin");
    QGuiApplication::setDesktopFileName(QStringLiteral("snapkin"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/snapkin.svg")));
    // Every text from here on is in the chosen language (or the desktop's).
    snapkin::language::applyStartUpLanguage();
    using snapkin::platform::L10n;
    if (!poolRuns) {
        // Without a single worker, the first large picture would wait for ever.
        std::fprintf(stderr, "snapkin: %s\n",
                     qPrintable(L10n::text("Snapkin can't start: the system refused it the "
                                           "threads it works with. Allow the process more "
                                           "address space (ulimit -v) and start it again.")));
        return 1;
    }

    // One Snapkin per user and display: a later start hands its files (or "reopen") over and
    // leaves at once.
    using Role = snapkin::platform::SingleInstance::Role;
    // Held in an optional so that it stops answering before the last settings are written.
    std::optional<snapkin::platform::SingleInstance> instance(std::in_place);
    const Role role = instance->claim(files);
    switch (role) {
    case Role::forwarded:
        // The running instance opens the files; what was decoded here goes unused.
        snapkin::platform::ImagePrefetch::discard();
        return 0;
    case Role::primary:
        break;
    case Role::refused:
        std::fprintf(stderr, "snapkin: %s\n",
                     qPrintable(L10n::text("The process answering on Snapkin's socket belongs to "
                                           "another user, so nothing was handed to it. Snapkin "
                                           "starts on its own.")));
        break;
    case Role::failed:
        std::fprintf(stderr, "snapkin: %s\n",
                     qPrintable(L10n::text("Snapkin couldn't make its private socket, so a later "
                                           "start won't reach this one.")));
        break;
    }

    // The font list is read meanwhile, rather than when the first window measures its texts.
    const snapkin::platform::FontWarmUp fonts;

    // Every start that runs on cleans the private folder: what an instance still running (on
    // another display, or one this start could not reach) holds is left alone.
    int status = 0;
    {
        snapkin::Application application(*instance, {.files = files, .cleanPrivateFolder = true});
        application.start();
        status = app.exec();
    }
    // Settings whose write waits for another instance's lock reach the disk before the end: two
    // seconds at most, then without the lock. A start meanwhile no longer hands its files to
    // this process, which is ending.
    instance.reset();
    snapkin::platform::Defaults::standard().flush();
    return status;
}
