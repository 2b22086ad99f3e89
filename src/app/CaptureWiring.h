#pragma once

#include "app/CaptureDelivery.h"
#include "capture/CaptureHooks.h"
#include "settings/InformationHooks.h"
#include "text/TextCopier.h"

#include <memory>

namespace snapkin {

class CaptureService;
class EditorWindowController;
class HistoryTracking;
class NewsletterWindowController;
class OnboardingController;
class PostCaptureRouter;
class QuickAccessController;
class TextCopier;

// The text copier's toasts, shown as the capture layer's toast.
class CaptureTextToasts final : public TextToasts {
public:
    void show(const QString& message, double seconds) override;
    void dismiss() override;
};

// "Copy Text from Region": the captured picture's text through the text copier.
class RegionTextCopying final : public TextCopying {
public:
    explicit RegionTextCopying(TextCopier& copier) : m_copier(copier) {}
    void copyText(const platform::BaseImage& image) override;

private:
    TextCopier& m_copier;
};

// The quick-access panels a capture takes off the screen, as their controller has them.
class ControllerQuickAccessPanels final : public QuickAccessPanels {
public:
    explicit ControllerQuickAccessPanels(QuickAccessController& controller)
        : m_controller(controller)
    {
    }
    QList<QWidget*> panels() override;
    bool stillOwns(const QWidget* panel) override;

private:
    QuickAccessController& m_controller;
};

// Joins the capture service and the router to the layers above them for as long as it lives:
// pictures go to the editors and the history, "Copy Text from Region" to the text copier, the
// quick-access panels leave the screen with the application's windows, a screen that cannot be
// captured opens the welcome window, and a delivered capture may bring up the newsletter (when
// its window is given). When it goes, the service and the router are left without hooks.
class CaptureWiring {
public:
    struct Above {
        EditorWindowController& editors;
        HistoryTracking& history;
        TextCopier& copier;
        QuickAccessController& quickAccess;
        OnboardingController& welcome;
        NewsletterWindowController* newsletter = nullptr;
    };
    CaptureWiring(CaptureService& service, PostCaptureRouter& router, Above above);
    ~CaptureWiring();
    CaptureWiring(const CaptureWiring&) = delete;
    CaptureWiring& operator=(const CaptureWiring&) = delete;

private:
    CaptureService& m_service;
    PostCaptureRouter& m_router;
    CaptureDelivery m_delivery;
    RegionTextCopying m_textCopying;
    ControllerQuickAccessPanels m_quickAccess;
    WelcomeOnboarding m_onboarding;
    std::unique_ptr<NewsletterWindowInvitation> m_newsletter;
};

} // namespace snapkin
