#include "platform/FontWarmUp.h"

#include <QFontDatabase>
#include <QGuiApplication>

namespace snapkin::platform {

FontWarmUp::FontWarmUp()
{
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return;
    m_reader = std::thread([] { (void)QFontDatabase::families(); });
}

FontWarmUp::~FontWarmUp()
{
    if (m_reader.joinable()) m_reader.join();
}

} // namespace snapkin::platform
