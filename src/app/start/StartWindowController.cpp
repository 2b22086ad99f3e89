#include "app/start/StartWindowController.h"

#include "app/MainMenuBuilder.h"
#include "app/MenuActions.h"
#include "app/start/StartCaptureBar.h"
#include "app/start/StartWindow.h"
#include "editor/EditorPage.h"
#include "editor/EditorWindowController.h"
#include "platform/Defaults.h"
#include "ui/platform/BringForward.h"

#include <QCoreApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QScreen>

namespace snapkin {

namespace {

platform::Defaults& settings()
{
    return platform::Defaults::standard();
}

} // namespace

StartWindowController::StartWindowController(EditorWindowController& editors,
                                             CaptureHistory& history, ExportDialogs& exports,
                                             CaptureService& capture, Decorator decorate)
    : m_editors(editors), m_history(history), m_exports(exports), m_capture(capture),
      m_decorate(std::move(decorate))
{
    connect(&editors, &EditorWindowController::pageOpened, this, [this] {
        if (m_window && m_window->isVisible()) {
            rememberFrame();
            m_window->hide();
        }
    });
    // Quitting closes the window, which remembers its frame then; a run that ends without
    // closing its windows (SIGTERM) remembers it here, before the window goes unclosed.
    connect(qApp, &QCoreApplication::aboutToQuit, this, [this] {
        if (isVisible()) rememberFrame();
    });
}

StartWindowController::~StartWindowController()
{
    delete m_window.data();
}

StartWindow* StartWindowController::window() const
{
    return m_window.data();
}

bool StartWindowController::isVisible() const
{
    return m_window && m_window->isVisible();
}

void StartWindowController::show()
{
    if (!m_window) {
        m_window = new StartWindow(m_editors, m_history, m_exports, m_capture, settings());
        m_window->setAttribute(Qt::WA_DeleteOnClose, false);
        if (m_decorate) m_decorate(*m_window);
        connect(m_window, &StartWindow::closed, this, &StartWindowController::rememberFrame);
        connect(m_window, &StartWindow::historySettingsRequested, this, [this] {
            settings().set(keys::settingsTab, QStringLiteral("history"));
            emit settingsRequested();
        });
    }
    if (!m_placed) place();
    platform::bringForward(m_window);
}

void StartWindowController::place()
{
    m_placed = true;
    const QByteArray stored =
        QByteArray::fromBase64(settings().get(keys::startWindowFrame).toLatin1());
    // A frame that no longer fits any screen (a monitor gone) is not restored.
    if (!stored.isEmpty() && m_window->restoreGeometry(stored)) return;
    QScreen* screen = QGuiApplication::screenAt(QCursor::pos());
    if (!screen) screen = QGuiApplication::primaryScreen();
    const QSize first = m_window->preferredSize();
    m_window->resize(first);
    if (!screen) return;
    const QRect available = screen->availableGeometry();
    const QSize size = first.boundedTo(available.size() - QSize(40, 60));
    m_window->resize(size);
    m_window->move(available.center() - QPoint(size.width() / 2, size.height() / 2));
}

void StartWindowController::rememberFrame()
{
    if (!m_window) return;
    settings().set(keys::startWindowFrame,
                   QString::fromLatin1(m_window->saveGeometry().toBase64()));
}

void connectStartWindow(StartWindow& window, MainMenuBuilder& menus, MenuActions& actions)
{
    menus.install(window);
    QObject::connect(window.captureBar(), &StartCaptureBar::commandRequested, &actions,
                     [&actions](AppCommand command) { runCommand(command, actions); });
}

} // namespace snapkin
