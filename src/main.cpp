#include "SnapkinVersion.h"
#include "app/AppDelegate.h"
#include "app/AppPresence.h"
#include "app/InformationWindows.h"
#include "app/MenuActions.h"
#include "editor/CollageService.h"
#include "editor/options/EditorOptions.h"
#include "platform/ClipboardOffer.h"
#include "platform/ImagePrefetch.h"
#include "platform/L10n.h"
#include "platform/MemoryRelease.h"
#include "platform/PrivateFolder.h"
#include "platform/SingleInstance.h"
#include "platform/TerminationSignal.h"
#include "settings/Language.h"
#include "settings/PreferencesWindow.h"
#include "settings/SettingsHooks.h"

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
    QApplication::setApplicationDisplayName("Snapkin");
    QGuiApplication::setDesktopFileName(QStringLiteral("snapkin"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/snapkin.svg")));
    QCommandLineParser parser;
    describe(parser);
    if (!parser.parse(QApplication::arguments())) {
        std::fprintf(stderr, "%s\n\n%s", qPrintable(parser.errorText()),
                     qPrintable(parser.helpText()));
        return 2;
    }
    const QStringList files = parser.positionalArguments();
    // Every text from here on is in the chosen language (or the desktop's).
    snapkin::language::applyStartUpLanguage();

    // One Snapkin per user and display: a later start hands its files (or "reopen") over and
    // leaves at once.
    using Role = snapkin::platform::SingleInstance::Role;
    using snapkin::platform::L10n;
    snapkin::platform::SingleInstance instance;
    const Role role = instance.claim(files);
    switch (role) {
    case Role::forwarded: return 0;
    case Role::primary: break;
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

    // What earlier runs left in the private folder goes now: drag files stay after a logout or
    // a crash ends a run before it removes them. Only a start that runs as the one instance
    // cleans (one that could not tell whether another runs leaves the files be), so no file a
    // drop target of a running Snapkin may still read is taken away.
    if (role == Role::primary || role == Role::refused) snapkin::platform::PrivateFolder::cleanUp();

    // The pictures to open are decoded on worker threads while the rest of the application
    // starts (document packages are folders, read when opened).
    for (const QString& file : files) {
        if (QFileInfo(file).isFile()) snapkin::platform::ImagePrefetch::start(file);
    }

    // The application lives on in the tray, and for its global shortcuts, with no window open.
    QApplication::setQuitOnLastWindowClosed(false);

    // The options bar's groups, the crop overlay and the collage maker, before any editor opens.
    snapkin::installEditorOptions();
    // Welcome, What's New, About and the newsletter: their start-up steps and menu items.
    snapkin::installInformationWindows();

    // Follows the clipboard's owner from the start, so the Edit menu knows whether Paste finds
    // an image without asking the owner when it opens.
    snapkin::platform::ClipboardOffer::shared();

    snapkin::AppDelegate delegate;
    // The settings window, for the "Settings…" items; it asks the shell about the tray.
    snapkin::MenuActions::shared().setHandler(snapkin::MenuActions::Handler::settings,
                                              [](const QImage*) {
                                                  snapkin::PreferencesWindow::showShared();
                                                  return true;
                                              });
    // The menus' "New Collage" commands.
    for (const auto& [handler, layout] :
         {std::pair{snapkin::MenuActions::Handler::collageSideBySide,
                    snapkin::CollageLayout::sideBySide},
          std::pair{snapkin::MenuActions::Handler::collageStacked,
                    snapkin::CollageLayout::stacked}}) {
        snapkin::MenuActions::shared().setHandler(handler, [layout](const QImage*) {
            snapkin::CollageService::createFromPanel(
                layout, snapkin::MenuActions::shared().keyEditorWindow());
            return true;
        });
    }
    snapkin::setSettingsHooks({[&delegate] { delegate.updateTray(); },
                               &snapkin::AppPresence::trayAvailable,
                               [] { snapkin::MenuActions::shared().startWindow(); }});
    QObject::connect(&instance, &snapkin::platform::SingleInstance::reopenRequested, &delegate,
                     &snapkin::AppDelegate::reopen);
    QObject::connect(&instance, &snapkin::platform::SingleInstance::filesRequested, &delegate,
                     &snapkin::AppDelegate::openFiles);
    // A logout (or `kill`) sends SIGTERM: quit as Quit does, asking about unsaved editors and
    // removing the drag files, rather than ending where it stands.
    snapkin::platform::TerminationSignal termination;
    QObject::connect(&termination, &snapkin::platform::TerminationSignal::terminationRequested,
                     &delegate, [] { snapkin::AppDelegate::requestQuit(); });
    delegate.setLaunchFiles(files);
    delegate.start();
    return app.exec();
}
