#include "SettingsTestSupport.h"

#include "TestPaths.h"

#include <QWidget>

namespace snapkin::test {

void FakeHistorySource::finishWrites()
{
    const auto callbacks = std::exchange(pending, {});
    for (const auto& callback : callbacks)
        callback();
}

void saveScreenshot(QWidget& widget, const QString& name)
{
    widget.grab().save(QStringLiteral(SNAPKIN_BUILD_DIR "/") + name);
}

} // namespace snapkin::test
