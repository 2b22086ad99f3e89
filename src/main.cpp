#include "SnapkinVersion.h"
#include "capture/CaptureHooks.h"
#include "capture/CaptureService.h"
#include "capture/CaptureToast.h"
#include "capture/PostCaptureRouter.h"
#include "capture/hotkeys/CaptureHotKey.h"
#include "capture/hotkeys/HotkeyService.h"
#include "editor/EditorSheets.h"
#include "editor/EditorViewHooks.h"
#include "editor/EditorWindowController.h"
#include "history/CaptureHistory.h"
#include "output/OutputHooks.h"
#include "text/TextServices.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QCoreApplication>

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
    QCoreApplication::setApplicationName("snapkin");
    QCoreApplication::setApplicationVersion(SNAPKIN_VERSION);
    if (const auto status = answerWithoutGui(argc, argv)) return *status;

    QApplication app(argc, argv);
    QApplication::setApplicationDisplayName("Snapkin");
    QCommandLineParser parser;
    describe(parser);
    if (!parser.parse(QApplication::arguments())) {
        std::fprintf(stderr, "%s\n\n%s", qPrintable(parser.errorText()),
                     qPrintable(parser.helpText()));
        return 2;
    }

    // ---- Start-up: services and hooks, before any window opens -------------------------------
    // Documents written from here on carry a framed preview.
    snapkin::installOutputHooks();
    // Editor pages switch tools by single letters and show their resize, sharpen and
    // keyboard-shortcuts sheets.
    snapkin::installEditorSheets(snapkin::EditorViewHooks::shared());
    snapkin::CaptureService::registerAtStartUp();
    // Captures are copied, saved and opened as the after-capture settings say; the desktop's
    // own screenshots open from the watched folder.
    snapkin::installPostCaptureRouting();
    // The capture shortcuts work from anywhere on the desktop; each action keeps a status that
    // says when the desktop refused its combination.
    snapkin::CaptureHotKey::registerDefaults();
    snapkin::HotkeyService::shared().reload();
    // Captures and editors are recorded from here on; pending writes finish before quitting.
    snapkin::installCaptureHistory();
    // Text is copied from a region, from an editor's image and from Selectable Text.
    snapkin::installTextServices<snapkin::TextCopying, snapkin::QuickAccessPanels,
                                 snapkin::CaptureToast>();

    // ---- First windows ----------------------------------------------------------------------
    auto& editors = snapkin::EditorWindowController::shared();
    const QStringList files = parser.positionalArguments();
    if (files.isEmpty()) {
        editors.openBlank();
    } else {
        bool anyOpen = false;
        for (const QString& file : files)
            anyOpen = editors.openFile(file) || anyOpen;
        // Each failure has been shown in its alert.
        if (!anyOpen) return 1;
    }
    return app.exec();
}
