#include "history/HistorySearch.h"

#include <QLocale>
#include <QRegularExpression>

namespace snapkin::historySearch {

Key keyOf(const HistoryEntry& entry)
{
    return Key{entry.title, entry.created, entry.recognizedText};
}

QString folded(const QString& text)
{
    bool ascii = true;
    for (const QChar c : text) {
        if (c.unicode() >= 0x80) {
            ascii = false;
            break;
        }
    }
    if (ascii) return text.toLower();

    // Decompose, drop the combining marks, then fold case. Qt folds one character to one, so
    // the sharp s, which folds to two, is spelt out.
    const QString decomposed = text.normalized(QString::NormalizationForm_KD);
    QString bare;
    bare.reserve(decomposed.size());
    for (const QChar c : decomposed) {
        const auto category = c.category();
        if (category == QChar::Mark_NonSpacing || category == QChar::Mark_Enclosing) continue;
        if (c == QChar(0x00DF) || c == QChar(0x1E9E))
            bare.append(QLatin1String("ss"));
        else
            bare.append(c);
    }
    return bare.toCaseFolded();
}

QStringList queryWords(const QString& query)
{
    static const QRegularExpression space(QStringLiteral("\\s+"));
    return folded(query).split(space, Qt::SkipEmptyParts);
}

QString line(const Key& key)
{
    const QDateTime local = key.created.toLocalTime();
    const QLocale locale;
    QString text = key.title;
    text += QLatin1Char('\n');
    text += local.toString(QStringLiteral("yyyy-MM-dd HH:mm"));
    text += QLatin1Char('\n');
    text += locale.toString(local.date(), QLocale::LongFormat);
    text += QLatin1Char('\n');
    text += locale.toString(local.date(), QLocale::ShortFormat);
    if (key.recognizedText) {
        text += QLatin1Char('\n');
        text += *key.recognizedText;
    }
    return folded(text);
}

} // namespace snapkin::historySearch
