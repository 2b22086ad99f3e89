#include "editor/RecentDocuments.h"

#include "platform/Defaults.h"

#include <QFileInfo>
#include <QGuiApplication>

#include <algorithm>
#include <utility>

namespace snapkin {

using platform::Defaults;

RecentDocuments::RecentDocuments(QObject* parent) : QObject(parent)
{
    refresh();
    if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        connect(app, &QGuiApplication::applicationStateChanged, this,
                [this](Qt::ApplicationState s) {
                    if (s == Qt::ApplicationActive) refresh();
                });
    }
}

void RecentDocuments::refresh()
{
    // Another instance on another display may have noted a document, or cleared the list.
    Defaults::standard().mergeFromFile(keys::recentDocuments);
    QList<QUrl> fresh;
    for (const QString& path : Defaults::standard().get(keys::recentDocuments)) {
        if (fresh.size() == maxCount) break;
        if (path.isEmpty() || !QFileInfo::exists(path)) continue;
        fresh << QUrl::fromLocalFile(path);
    }
    if (fresh == m_urls) return;
    m_urls = fresh;
    emit urlsChanged(m_urls);
}

QString RecentDocuments::title(const QUrl& url) const
{
    const QString name = QFileInfo(url.path()).fileName();
    const auto same = std::ranges::count_if(
        m_urls, [&](const QUrl& listed) { return QFileInfo(listed.path()).fileName() == name; });
    if (same <= 1) return name;
    const QString folder = QFileInfo(QFileInfo(url.path()).path()).fileName();
    return name + QStringLiteral(" \u2014 ") + folder;
}

namespace {

struct HeldNotes {
    int holds = 0;
    QList<QUrl> urls; // oldest first
};

HeldNotes& heldNotes()
{
    static HeldNotes held;
    return held;
}

} // namespace

void RecentDocuments::holdNotes()
{
    ++heldNotes().holds;
}

void RecentDocuments::releaseNotes()
{
    HeldNotes& held = heldNotes();
    if (held.holds == 0 || --held.holds > 0) return;
    for (const QUrl& url : std::exchange(held.urls, {}))
        noteNewRecentDocument(url);
}

void RecentDocuments::noteNewRecentDocument(const QUrl& url)
{
    if (!url.isLocalFile()) return;
    if (heldNotes().holds > 0) {
        heldNotes().urls.append(url);
        return;
    }
    const QString path = QFileInfo(url.toLocalFile()).absoluteFilePath();
    QStringList list{path};
    for (const QString& old : Defaults::standard().get(keys::recentDocuments)) {
        if (list.size() == maxCount) break;
        if (old != path && QFileInfo::exists(old)) list << old;
    }
    Defaults::standard().set(keys::recentDocuments, list);
    // The desktop's shared list only mirrors ours: its old file stays whole when this fails, and
    // a full disk has been told already by the settings written just before.
    if (!addToRecentlyUsed(recentlyUsedPath(), path))
        qWarning("%s could not be updated", qPrintable(recentlyUsedPath()));
}

void RecentDocuments::clear()
{
    // Files noted before the clear go with it, held or not.
    heldNotes().urls.clear();
    Defaults::standard().removeObject(keys::recentDocuments);
}

} // namespace snapkin
