#include "platform/DesktopEntry.h"

#include <QFile>
#include <QStringList>

namespace snapkin::platform {

QString DesktopEntry::execArgument(const QString& path)
{
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    const bool plain =
        std::none_of(path.begin(), path.end(), [](QChar c) { return reserved.contains(c); });
    if (plain && !path.isEmpty()) return path;
    QString quoted;
    for (const QChar c : path) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') ||
            c == QLatin1Char('\\'))
            quoted += QLatin1Char('\\');
        quoted += c;
    }
    // Inside a desktop entry's string value every backslash is doubled once more.
    quoted.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString DesktopEntry::autostartText(const QString& executable)
{
    QFile file(QStringLiteral(":/desktop/snapkin-autostart.desktop"));
    if (!file.open(QIODevice::ReadOnly)) return {};
    QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    for (QString& line : lines) {
        if (line.startsWith(QLatin1String("Exec=")))
            line = QStringLiteral("Exec=") + execArgument(executable);
        else if (line.startsWith(QLatin1String("TryExec=")))
            line = QStringLiteral("TryExec=") + executable;
    }
    return lines.join(QLatin1Char('\n'));
}

} // namespace snapkin::platform
