#include "platform/AppPaths.h"

#include <QStandardPaths>

namespace snapkin::platform {

QString AppPaths::configDir()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + "/snapkin";
}

QString AppPaths::dataDir()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/snapkin";
}

} // namespace snapkin::platform
