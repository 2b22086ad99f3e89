#include "AppTestSupport.h"

#include "TestPaths.h"
#include "editor/EditorPage.h"
#include "editor/EditorWindowController.h"
#include "model/AnnotationStore.h"

#include <QAction>
#include <QCoreApplication>
#include <QMenu>
#include <QTest>
#include <gtest/gtest.h>

namespace snapkin::apptest {

void closeAllEditors(EditorWindowController& editors)
{
    for (EditorPage* page : editors.pages())
        page->store().setHasUnsavedChanges(false);
    for (EditorPage* page : editors.pages())
        page->window()->close();
    EXPECT_TRUE(QTest::qWaitFor([&] { return editors.pages().isEmpty(); }, 5000));
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

QString picturePath(const QString& fileName)
{
    return QStringLiteral(SNAPKIN_BUILD_DIR "/") + fileName;
}

QStringList menuItems(const QMenu& menu, bool markDisabled)
{
    QStringList items;
    for (QAction* action : menu.actions()) {
        if (!action->isVisible()) continue;
        if (action->isSeparator()) {
            items << "---";
            continue;
        }
        QString item = action->text();
        if (action->menu()) item += " >";
        if (!action->shortcut().isEmpty())
            item += "\t" + action->shortcut().toString(QKeySequence::NativeText);
        if (markDisabled && !action->isEnabled()) item += " (off)";
        items << item;
    }
    return items;
}

} // namespace snapkin::apptest
