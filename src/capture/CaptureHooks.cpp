#include "capture/CaptureHooks.h"

#include "grab/CaptureEngineError.h"
#include "platform/L10n.h"

#include <QMessageBox>

namespace snapkin {

void showX11SessionAlert()
{
    auto* box =
        new QMessageBox(QMessageBox::Warning, platform::L10n::text("Couldn't capture the screen"),
                        platform::L10n::text("Couldn't capture the screen"));
    box->setInformativeText(x11SessionAdvice());
    box->setStandardButtons(QMessageBox::Ok);
    box->setWindowModality(Qt::ApplicationModal);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->show(); // not open(): that would make it window-modal, and modal to nothing
}

QString captureHistoryTitle(const std::optional<QString>& sourceAppName)
{
    return sourceAppName && !sourceAppName->isEmpty() ? *sourceAppName
                                                      : platform::L10n::text("Screenshot");
}

QImage imageForOutput(const platform::BaseImage& image)
{
    QImage pixels = image.image();
    pixels.setDevicePixelRatio(image.pixelScale());
    return pixels;
}

} // namespace snapkin
