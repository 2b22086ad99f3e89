#pragma once

#include <QString>

#include <ostream>

// Test failures show texts as text.
inline void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}

namespace snapkin::apptest {

// Closes every editor without questions and lets the pages go.
void closeAllEditors();
// Where pictures of windows are written for a look.
QString picturePath(const QString& fileName);

} // namespace snapkin::apptest
