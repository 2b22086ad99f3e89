#pragma once

#include <QDate>
#include <QLocale>
#include <QString>

namespace snapkin {

// The headings the start window sorts captures under, newest first: "Today", "Yesterday", the
// weekday for the other days of this week, then the month and year ("November 2026"), in the
// interface language. A date after today (a clock set back) counts as today.
namespace historyDayGroups {

// The first day of the week that holds `today`, as the locale counts weeks.
QDate startOfWeek(QDate today, const QLocale& locale);

QString title(QDate date, QDate today, const QLocale& locale);

} // namespace historyDayGroups
} // namespace snapkin
