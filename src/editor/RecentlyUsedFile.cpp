// The desktop's list of recently used files (the XBEL file GTK and KDE programs share).

#include "editor/RecentDocuments.h"

#include "platform/AtomicWrite.h"

#include <QDir>
#include <QDomDocument>
#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>

namespace snapkin {

namespace {

const QString ownerFreedesktop = QStringLiteral("http://freedesktop.org");
const QString applicationName = QStringLiteral("Snapkin");

QString stamp(const QDateTime& time)
{
    // The microsecond form the desktop's own writers use.
    return time.toUTC().toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss.zzz'000Z'"));
}

// The first `tag` child of `parent` whose `attribute` is `value`; null when there is none.
QDomElement childWith(const QDomElement& parent, const QString& tag, const QString& attribute,
                      const QString& value)
{
    for (QDomElement e = parent.firstChildElement(tag); !e.isNull(); e = e.nextSiblingElement(tag))
        if (e.attribute(attribute) == value) return e;
    return {};
}

QDomElement ensureChild(QDomDocument& doc, QDomElement parent, const QString& tag)
{
    QDomElement child = parent.firstChildElement(tag);
    if (child.isNull()) child = parent.appendChild(doc.createElement(tag)).toElement();
    return child;
}

// <info><metadata owner="http://freedesktop.org"> of a bookmark, made when missing.
QDomElement freedesktopMetadata(QDomDocument& doc, QDomElement bookmark)
{
    QDomElement info = ensureChild(doc, bookmark, QStringLiteral("info"));
    QDomElement m =
        childWith(info, QStringLiteral("metadata"), QStringLiteral("owner"), ownerFreedesktop);
    if (!m.isNull()) return m;
    m = info.appendChild(doc.createElement(QStringLiteral("metadata"))).toElement();
    m.setAttribute(QStringLiteral("owner"), ownerFreedesktop);
    return m;
}

void noteApplication(QDomDocument& doc, QDomElement metadata, const QDateTime& now)
{
    QDomElement apps = ensureChild(doc, metadata, QStringLiteral("bookmark:applications"));
    QDomElement app = childWith(apps, QStringLiteral("bookmark:application"),
                                QStringLiteral("name"), applicationName);
    if (app.isNull()) {
        app =
            apps.appendChild(doc.createElement(QStringLiteral("bookmark:application"))).toElement();
        app.setAttribute(QStringLiteral("name"), applicationName);
        app.setAttribute(QStringLiteral("exec"), QStringLiteral("'snapkin %u'"));
        app.setAttribute(QStringLiteral("count"), 0);
    }
    app.setAttribute(QStringLiteral("modified"), stamp(now));
    app.setAttribute(QStringLiteral("count"), app.attribute(QStringLiteral("count")).toInt() + 1);
}

} // namespace

QString RecentDocuments::recentlyUsedPath()
{
    QString data = qEnvironmentVariable("XDG_DATA_HOME");
    if (data.isEmpty() || !QDir::isAbsolutePath(data))
        data = QDir::homePath() + QStringLiteral("/.local/share");
    return QDir::cleanPath(data) + QStringLiteral("/recently-used.xbel");
}

bool RecentDocuments::addToRecentlyUsed(const QString& xbelPath, const QString& filePath,
                                        const QDateTime& now)
{
    QDomDocument doc;
    QFile existing(xbelPath);
    if (existing.exists()) {
        if (!existing.open(QIODevice::ReadOnly)) return false;
        // Namespace processing off: prefixed names and their declarations go back out as read.
        if (!doc.setContent(existing.readAll(), false)) return false;
        if (doc.documentElement().tagName() != QLatin1String("xbel")) return false;
    } else {
        doc.appendChild(doc.createProcessingInstruction(
            QStringLiteral("xml"), QStringLiteral("version=\"1.0\" encoding=\"UTF-8\"")));
        QDomElement root = doc.createElement(QStringLiteral("xbel"));
        root.setAttribute(QStringLiteral("version"), QStringLiteral("1.0"));
        root.setAttribute(QStringLiteral("xmlns:bookmark"),
                          QStringLiteral("http://www.freedesktop.org/standards/desktop-bookmarks"));
        root.setAttribute(QStringLiteral("xmlns:mime"),
                          QStringLiteral("http://www.freedesktop.org/standards/shared-mime-info"));
        doc.appendChild(root);
    }

    QDomElement root = doc.documentElement();
    const QString href = QString::fromLatin1(QUrl::fromLocalFile(filePath).toEncoded());
    QDomElement bookmark =
        childWith(root, QStringLiteral("bookmark"), QStringLiteral("href"), href);
    if (bookmark.isNull()) {
        bookmark = root.appendChild(doc.createElement(QStringLiteral("bookmark"))).toElement();
        bookmark.setAttribute(QStringLiteral("href"), href);
        bookmark.setAttribute(QStringLiteral("added"), stamp(now));
        QDomElement metadata = freedesktopMetadata(doc, bookmark);
        QDomElement mime =
            metadata.appendChild(doc.createElement(QStringLiteral("mime:mime-type"))).toElement();
        mime.setAttribute(QStringLiteral("type"), QMimeDatabase().mimeTypeForFile(filePath).name());
    }
    bookmark.setAttribute(QStringLiteral("modified"), stamp(now));
    bookmark.setAttribute(QStringLiteral("visited"), stamp(now));
    noteApplication(doc, freedesktopMetadata(doc, bookmark), now);

    QDir().mkpath(QFileInfo(xbelPath).absolutePath());
    return platform::writeFileAtomically(xbelPath, doc.toByteArray(2)).has_value();
}

} // namespace snapkin
