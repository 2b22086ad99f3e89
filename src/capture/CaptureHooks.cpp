#include "capture/CaptureHooks.h"

#include "platform/L10n.h"

#include <QMessageBox>

namespace snapkin {

// Defined with the capture service, which knows how to open an editor and the save panel.
PostCaptureRouting& fallbackPostCaptureRouting();

namespace {

class NoTextCopying final : public TextCopying {
public:
    void copyText(const platform::BaseImage&) override {}
};

class NoScreenshotWatching final : public ScreenshotWatching {
public:
    bool enableChoosingFolder() override { return false; }
};

class NeverDueInvitation final : public NewsletterInvitation {
public:
    bool isDue() override { return false; }
    bool canInterrupt() override { return false; }
    void show() override {}
};

class AdviceAlertOnboarding final : public CaptureOnboarding {
public:
    void show() override
    {
        auto* box = new QMessageBox(QMessageBox::Warning,
                                    platform::L10n::text("Couldn't capture the screen"),
                                    platform::L10n::text("Couldn't capture the screen"));
        box->setInformativeText(x11SessionAdvice());
        box->setStandardButtons(QMessageBox::Ok);
        box->setWindowModality(Qt::ApplicationModal);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->show(); // not open(): that would make it window-modal, and modal to nothing
    }
};

class NoQuickAccessPanels final : public QuickAccessPanels {
public:
    QList<QWidget*> panels() override { return {}; }
    bool stillOwns(const QWidget*) override { return false; }
};

// The hook the application installed for each interface, or nullptr.
template <typename Hook> Hook*& installed()
{
    static Hook* hook = nullptr;
    return hook;
}

// The installed hook, else one that does nothing (made when first needed).
template <typename Hook, typename Fallback> Hook& installedOr()
{
    static Fallback fallback;
    Hook* hook = installed<Hook>();
    return hook ? *hook : fallback;
}

} // namespace

PostCaptureRouting& PostCaptureRouting::shared()
{
    PostCaptureRouting* router = installed<PostCaptureRouting>();
    return router ? *router : fallbackPostCaptureRouting();
}
void PostCaptureRouting::install(PostCaptureRouting* router)
{
    installed<PostCaptureRouting>() = router;
}

TextCopying& TextCopying::shared()
{
    return installedOr<TextCopying, NoTextCopying>();
}
void TextCopying::install(TextCopying* copier)
{
    installed<TextCopying>() = copier;
}

ScreenshotWatching& ScreenshotWatching::shared()
{
    return installedOr<ScreenshotWatching, NoScreenshotWatching>();
}
void ScreenshotWatching::install(ScreenshotWatching* watcher)
{
    installed<ScreenshotWatching>() = watcher;
}

NewsletterInvitation& NewsletterInvitation::shared()
{
    return installedOr<NewsletterInvitation, NeverDueInvitation>();
}
void NewsletterInvitation::install(NewsletterInvitation* invitation)
{
    installed<NewsletterInvitation>() = invitation;
}

CaptureOnboarding& CaptureOnboarding::shared()
{
    return installedOr<CaptureOnboarding, AdviceAlertOnboarding>();
}
void CaptureOnboarding::install(CaptureOnboarding* onboarding)
{
    installed<CaptureOnboarding>() = onboarding;
}

QuickAccessPanels& QuickAccessPanels::shared()
{
    return installedOr<QuickAccessPanels, NoQuickAccessPanels>();
}
void QuickAccessPanels::install(QuickAccessPanels* panels)
{
    installed<QuickAccessPanels>() = panels;
}

QString x11SessionAdvice()
{
    return platform::L10n::text("Screen capture needs an X11 (Xorg) session. If you are in a "
                                "Wayland session, log out and choose an Xorg session.");
}

} // namespace snapkin
