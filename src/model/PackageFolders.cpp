#include "model/PackageFolders.h"

#include "model/SnapkinDocument.h"

#include <QDir>
#include <QFileInfo>

namespace snapkin::packagefolders {

bool isPackage(const QString& path)
{
    const QString suffix = QStringLiteral(".") + QString::fromLatin1(SnapkinDocument::extension);
    return path.endsWith(suffix, Qt::CaseInsensitive) && QFileInfo(path).isDir();
}

namespace {

// The outermost package among `path` and the folders above it, when `includeSelf`; else only
// among the folders above it.
QString outermostPackage(const QString& path, bool includeSelf)
{
    QString outermost;
    QString at = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    if (!includeSelf) at = QFileInfo(at).path();
    // Up to the root, whose parent is itself.
    for (;;) {
        if (isPackage(at)) outermost = at;
        const QString parent = QFileInfo(at).path();
        if (parent == at) break;
        at = parent;
    }
    return outermost;
}

} // namespace

QString enclosingPackage(const QString& path)
{
    if (path.isEmpty()) return {};
    return outermostPackage(path, false);
}

QString packageAtOrAbove(const QString& path)
{
    if (path.isEmpty()) return {};
    return outermostPackage(path, true);
}

QString outsidePackages(const QString& folder)
{
    const QString absolute = QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
    const QString package = outermostPackage(absolute, true);
    return package.isEmpty() ? absolute : QFileInfo(package).path();
}

} // namespace snapkin::packagefolders
