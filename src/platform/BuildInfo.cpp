#include "platform/BuildInfo.h"

#include "SnapkinConfig.h"

namespace snapkin::platform {

QString BuildInfo::version()
{
    return QStringLiteral(SNAPKIN_CONFIG_VERSION);
}

QString BuildInfo::buildNumber()
{
    return QStringLiteral(SNAPKIN_CONFIG_BUILD_NUMBER);
}

QString BuildInfo::newsletterEndpoint()
{
    return QStringLiteral(SNAPKIN_CONFIG_NEWSLETTER_ENDPOINT).trimmed();
}

QString BuildInfo::siteRoot()
{
    QString root = QStringLiteral(SNAPKIN_CONFIG_SITE_ROOT).trimmed();
    if (!root.isEmpty() && !root.endsWith(u'/')) root += u'/';
    return root;
}

QString BuildInfo::contactEmail()
{
    return QStringLiteral(SNAPKIN_CONFIG_CONTACT_EMAIL).trimmed();
}

} // namespace snapkin::platform
