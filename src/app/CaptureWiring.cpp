#include "app/CaptureWiring.h"

#include "capture/CaptureService.h"
#include "capture/CaptureToast.h"
#include "capture/PostCaptureRouter.h"
#include "text/QuickAccess.h"

namespace snapkin {

void CaptureTextToasts::show(const QString& message, double seconds)
{
    CaptureToast::show(message, seconds);
}

void CaptureTextToasts::dismiss()
{
    CaptureToast::dismiss();
}

void RegionTextCopying::copyText(const platform::BaseImage& image)
{
    m_copier.copyText(image.image());
}

QList<QWidget*> ControllerQuickAccessPanels::panels()
{
    return m_controller.panels();
}

bool ControllerQuickAccessPanels::stillOwns(const QWidget* panel)
{
    return m_controller.stillOwns(panel);
}

CaptureWiring::CaptureWiring(CaptureService& service, PostCaptureRouter& router, Above above)
    : m_service(service), m_router(router), m_delivery(above.editors, above.history),
      m_textCopying(above.copier), m_quickAccess(above.quickAccess), m_onboarding(above.welcome)
{
    if (above.newsletter)
        m_newsletter = std::make_unique<NewsletterWindowInvitation>(*above.newsletter);
    const CaptureHooks hooks{&m_delivery,   &m_delivery,        &m_textCopying,
                             &m_onboarding, m_newsletter.get(), &m_quickAccess};
    router.setHooks(hooks);
    service.setHooks(hooks);
}

CaptureWiring::~CaptureWiring()
{
    m_router.setHooks({});
    m_service.setHooks({});
}

} // namespace snapkin
