#include "platform/DesktopEntry.h"

#include <QFile>
#include <QStringList>

namespace snapkin::platform {

namespace {

// A value under the string rules: backslashes and line breaks escaped.
QString stringValue(const QString& value)
{
    QString out;
    for (const QChar c : value) {
        if (c == QLatin1Char('\\'))
            out += QStringLiteral("\\\\");
        else if (c == QLatin1Char('\n'))
            out += QStringLiteral("\\n");
        else if (c == QLatin1Char('\t'))
            out += QStringLiteral("\\t");
        else if (c == QLatin1Char('\r'))
            out += QStringLiteral("\\r");
        else
            out += c;
    }
    return out;
}

} // namespace

QString DesktopEntry::execArgument(const QString& path)
{
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    const bool plain =
        std::none_of(path.begin(), path.end(), [](QChar c) { return reserved.contains(c); });
    QString quoted;
    if (plain && !path.isEmpty()) {
        quoted = path;
    } else {
        for (const QChar c : path) {
            if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') ||
                c == QLatin1Char('\\'))
                quoted += QLatin1Char('\\');
            quoted += c;
        }
        quoted = QLatin1Char('"') + quoted + QLatin1Char('"');
    }
    // Field codes start with %; the string rules apply last, to the whole argument.
    quoted.replace(QLatin1Char('%'), QStringLiteral("%%"));
    return stringValue(quoted);
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
            line = QStringLiteral("TryExec=") + stringValue(executable);
    }
    return lines.join(QLatin1Char('\n'));
}

} // namespace snapkin::platform
