#pragma once

#include <QStringList>
#include <QVariant>

#include <limits>

namespace snapkin::platform {

// How the settings store reads a stored value by type, shared by its getters and its writes.

// An integer of any width, a double or a float (not a Bool or a string).
bool isNumeric(const QVariant& v);
// A value read as a whole number, as integerForKey() reads it.
qint64 integerOf(const QVariant& v);
// a + b held within [minimum, maximum], never overflowing.
qint64 boundedSum(qint64 a, qint64 b, qint64 minimum = std::numeric_limits<qint64>::min(),
                  qint64 maximum = std::numeric_limits<qint64>::max());
// The strings of a list value; empty for anything else.
QStringList stringsOf(const QVariant& v);

} // namespace snapkin::platform
