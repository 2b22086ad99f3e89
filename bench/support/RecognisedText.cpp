#include "support/RecognisedText.h"

#include <QStringList>

namespace snapkin::bench {

QString recognisedText(QRandomGenerator& random, int bytes)
{
    static const QStringList words{
        "invoice", "total",  "payment", "window",  "settings", "terminal", "build",  "error",
        "warning", "commit", "branch",  "release", "customer", "address",  "Straße", "café",
        "résumé",  "order",  "number",  "2041",    "meeting",  "agenda",   "screen", "capture",
        "export",  "file",   "folder",  "project", "deadline", "review",   "update", "status"};
    QString text;
    int column = 0;
    while (text.size() < bytes) {
        const QString& word = words[random.bounded(int(words.size()))];
        text += word;
        column += word.size() + 1;
        if (column > 60) {
            text += QLatin1Char('\n');
            column = 0;
        } else {
            text += QLatin1Char(' ');
        }
    }
    return text.left(bytes);
}

} // namespace snapkin::bench
