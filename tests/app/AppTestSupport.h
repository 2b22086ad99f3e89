#pragma once

#include <QString>
#include <QStringList>

#include <ostream>

class QMenu;

// Test failures show texts as text.
inline void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}

namespace snapkin {
class EditorWindowController;
}

namespace snapkin::apptest {

// Closes every editor of `editors` without questions and lets the pages go.
void closeAllEditors(EditorWindowController& editors);
// Where pictures of windows are written for a look.
QString picturePath(const QString& fileName);
// "Title\tKey" per visible item of `menu`, the key in the desktop's own form as the menu shows
// it; "---" for a separator, "Title >" for a submenu. With `markDisabled`, a disabled item ends
// in " (off)".
QStringList menuItems(const QMenu& menu, bool markDisabled = false);

} // namespace snapkin::apptest
