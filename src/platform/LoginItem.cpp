#include "platform/LoginItem.h"

#include "platform/AtomicWrite.h"
#include "platform/DesktopEntry.h"
#include "platform/L10n.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace snapkin::platform {

namespace {

QString configHome()
{
    const QString xdg = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (!xdg.isEmpty() && QDir::isAbsolutePath(xdg)) return xdg;
    return QDir::homePath() + QStringLiteral("/.config");
}

// Whether the [Desktop Entry] group says Hidden=true.
bool isHidden(const QByteArray& text)
{
    bool inMainGroup = false;
    for (const QByteArray& raw : text.split('\n')) {
        const QByteArray line = raw.trimmed();
        if (line.startsWith('[')) {
            inMainGroup = line == "[Desktop Entry]";
            continue;
        }
        if (!inMainGroup) continue;
        const qsizetype equals = line.indexOf('=');
        if (equals < 0) continue;
        if (line.left(equals).trimmed() == "Hidden")
            return line.mid(equals + 1).trimmed() == "true";
    }
    return false;
}

} // namespace

QString LoginItem::userMessage(Error error)
{
    switch (error) {
    case Error::cannotCreateFolder:
        return L10n::text("The autostart folder could not be created.");
    case Error::writeFailed:
        return L10n::text("The autostart entry could not be written.");
    case Error::cannotRemove:
        return L10n::text("The autostart entry could not be removed.");
    }
    return {};
}

QString LoginItem::entryPath()
{
    return configHome() + QStringLiteral("/autostart/snapkin.desktop");
}

bool LoginItem::isEnabled()
{
    QFile file(entryPath());
    if (!QFileInfo(file).isFile() || !file.open(QIODevice::ReadOnly)) return false;
    return !isHidden(file.readAll());
}

std::expected<void, LoginItem::Error> LoginItem::setEnabled(bool enabled, const QString& program)
{
    const QString path = entryPath();
    if (!enabled) {
        const QFileInfo info(path);
        if (!info.exists() && !info.isSymLink()) return {};
        if (!QFile::remove(path)) return std::unexpected(Error::cannotRemove);
        return {};
    }
    const QString folder = QFileInfo(path).absolutePath();
    if (!QFileInfo(folder).isDir() && !QDir().mkpath(folder))
        return std::unexpected(Error::cannotCreateFolder);
    const QString executable =
        QFileInfo(program.isEmpty() ? QCoreApplication::applicationFilePath() : program)
            .absoluteFilePath();
    const QByteArray text = DesktopEntry::autostartText(executable).toUtf8();
    if (text.isEmpty() || !writeFileAtomically(path, text))
        return std::unexpected(Error::writeFailed);
    return {};
}

} // namespace snapkin::platform
