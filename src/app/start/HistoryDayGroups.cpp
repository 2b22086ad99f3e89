#include "app/start/HistoryDayGroups.h"

#include "platform/L10n.h"

namespace snapkin::historyDayGroups {

using platform::L10n;

namespace {

// Month and weekday names stand alone in a heading, so they start with a capital even where
// the language writes them in lower case ("novembre 2026" → "Novembre 2026").
QString capitalised(QString text, const QLocale& locale)
{
    if (!text.isEmpty()) text.replace(0, 1, locale.toUpper(text.left(1)));
    return text;
}

} // namespace

QDate startOfWeek(QDate today, const QLocale& locale)
{
    const int first = int(locale.firstDayOfWeek());
    const int back = (today.dayOfWeek() - first + 7) % 7;
    return today.addDays(-back);
}

QString title(QDate date, QDate today, const QLocale& locale)
{
    if (date >= today) return L10n::text("Today");
    if (date == today.addDays(-1)) return L10n::text("Yesterday");
    if (date >= startOfWeek(today, locale))
        return capitalised(locale.standaloneDayName(date.dayOfWeek(), QLocale::LongFormat), locale);
    const QString month =
        capitalised(locale.standaloneMonthName(date.month(), QLocale::LongFormat), locale);
    return L10n::fill(L10n::text("startWindow.monthYear", "%1$@ %2$@"),
                      {month, QString::number(date.year())});
}

} // namespace snapkin::historyDayGroups
