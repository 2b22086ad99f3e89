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

PostCaptureRouting* g_router = nullptr;
TextCopying* g_textCopying = nullptr;
ScreenshotWatching* g_watching = nullptr;
NewsletterInvitation* g_invitation = nullptr;
CaptureOnboarding* g_onboarding = nullptr;
QuickAccessPanels* g_panels = nullptr;

} // namespace

PostCaptureRouting& PostCaptureRouting::shared()
{
    return g_router ? *g_router : fallbackPostCaptureRouting();
}
void PostCaptureRouting::install(PostCaptureRouting* router)
{
    g_router = router;
}

TextCopying& TextCopying::shared()
{
    static NoTextCopying fallback;
    return g_textCopying ? *g_textCopying : fallback;
}
void TextCopying::install(TextCopying* copier)
{
    g_textCopying = copier;
}

ScreenshotWatching& ScreenshotWatching::shared()
{
    static NoScreenshotWatching fallback;
    return g_watching ? *g_watching : fallback;
}
void ScreenshotWatching::install(ScreenshotWatching* watcher)
{
    g_watching = watcher;
}

NewsletterInvitation& NewsletterInvitation::shared()
{
    static NeverDueInvitation fallback;
    return g_invitation ? *g_invitation : fallback;
}
void NewsletterInvitation::install(NewsletterInvitation* invitation)
{
    g_invitation = invitation;
}

CaptureOnboarding& CaptureOnboarding::shared()
{
    static AdviceAlertOnboarding fallback;
    return g_onboarding ? *g_onboarding : fallback;
}
void CaptureOnboarding::install(CaptureOnboarding* onboarding)
{
    g_onboarding = onboarding;
}

QuickAccessPanels& QuickAccessPanels::shared()
{
    static NoQuickAccessPanels fallback;
    return g_panels ? *g_panels : fallback;
}
void QuickAccessPanels::install(QuickAccessPanels* panels)
{
    g_panels = panels;
}

QString x11SessionAdvice()
{
    return platform::L10n::text("Screen capture needs an X11 (Xorg) session. If you are in a "
                                "Wayland session, log out and choose an Xorg session.");
}

} // namespace snapkin
