#include "app/CaptureDelivery.h"

#include "editor/EditorWindowController.h"
#include "editor/HistoryTracking.h"

namespace snapkin {

CaptureDelivery::CaptureDelivery(EditorWindowController& editors, HistoryTracking& history)
    : m_editors(editors), m_history(history)
{
}

void CaptureDelivery::openCapture(const platform::BaseImage& image, const QString& title,
                                  const QString& historyTitle)
{
    AnnotationStore& store = m_editors.open(image, title);
    if (EditorPage* page = m_editors.pageOf(store)) EditorWindowController::bringForward(page);
    m_history.track(store, historyTitle, std::nullopt, false);
}

void CaptureDelivery::openFile(const QString& path)
{
    m_editors.openFile(path);
}

void CaptureDelivery::record(const platform::BaseImage& image, const QString& title)
{
    m_history.record(image, title);
}

QString CaptureDelivery::unavailableReason() const
{
    return m_history.unavailableReason();
}

} // namespace snapkin
