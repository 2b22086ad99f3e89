#include "settings/OnboardingController.h"

#include "grab/CaptureEngine.h"
#include "platform/Defaults.h"
#include "platform/L10n.h"
#include "platform/ScreenAccess.h"

#include <QApplication>
#include <QTimer>
#include <QVBoxLayout>

namespace snapkin {

namespace {

platform::Defaults& settings()
{
    return platform::Defaults::standard();
}

} // namespace

OnboardingWindow::OnboardingWindow(OnboardingView::AccessCheck check, const QKeySequence& pasteKeys,
                                   SettingsHooks shell)
    : InfoWindow(platform::L10n::text("Welcome to Snapkin"))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    m_view = new OnboardingView(std::move(check), pasteKeys, std::move(shell), this);
    layout->addWidget(m_view);
}

OnboardingController::OnboardingController(SettingsHooks shell)
    : m_check(
          [] { return platform::ScreenAccess::check(&CaptureEngine::probeScreenCaptureAccess); }),
      m_pasteKeys(QKeyCombination(Qt::ControlModifier | Qt::ShiftModifier, Qt::Key_N)),
      m_shell(std::move(shell))
{
}

bool OnboardingController::opensAtLaunch(const QVariant& storedShowOnLaunch, bool didShow)
{
    if (storedShowOnLaunch.typeId() == QMetaType::Bool) return storedShowOnLaunch.toBool();
    return !didShow;
}

void OnboardingController::showIfNeeded()
{
    const auto& key = keys::showOnboardingOnLaunch;
    // Only what the user stored counts; a registered default is no choice.
    const QVariant stored = settings().hasStoredValue(key) ? settings().object(key) : QVariant();
    if (opensAtLaunch(stored, settings().get(keys::didShowOnboarding))) show();
}

void OnboardingController::show()
{
    settings().set(keys::didShowOnboarding, true);
    showSingleWindow(m_window, [this] {
        auto* window = new OnboardingWindow(m_check, m_pasteKeys, m_shell);
        OnboardingView* view = window->view();
        QObject::connect(view, &OnboardingView::finishRequested, view,
                         [this] { dismissWindow(m_window); });
        QObject::connect(view, &OnboardingView::firstCaptureRequested, view,
                         [this] { startFirstCapture(); });
        return window;
    });
}

void OnboardingController::startFirstCapture()
{
    // The window goes first, so it is not in the picture.
    dismissWindow(m_window);
    QTimer::singleShot(captureDelayMs, qApp, [starter = m_starter] {
        if (starter) starter();
    });
}

} // namespace snapkin
