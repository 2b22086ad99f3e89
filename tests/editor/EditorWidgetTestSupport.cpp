#include "EditorWidgetTestSupport.h"

#include "TestPaths.h"

#include "editor/EditorPage.h"
#include "editor/EditorWindowController.h"
#include "model/AnnotationStore.h"
#include "model/SnapkinDocument.h"
#include "platform/Defaults.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDeadlineTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>
#include <QTimer>

namespace snapkin::editortest {

AlertAnswerer::AlertAnswerer()
{
    m_timer = new QTimer;
    m_timer->setInterval(10);
    QObject::connect(m_timer, &QTimer::timeout, [this] { poll(); });
    m_timer->start();
}

AlertAnswerer::~AlertAnswerer()
{
    delete m_timer;
}

void AlertAnswerer::poll()
{
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box || box == m_last || !box->isVisible()) return;
    m_last = box;
    m_seen.append({box->text(), box->informativeText(), box->icon(), box->parentWidget()});
    Answer answer = m_answers.isEmpty() ? key(Qt::Key_Escape) : m_answers.takeFirst();
    // Answered from a fresh turn of the loop, as a user would, not from inside this poll.
    QTimer::singleShot(0, box, [box, answer] { answer(*box); });
}

AlertAnswerer::Answer AlertAnswerer::key(int key, Qt::KeyboardModifiers modifiers)
{
    return [key, modifiers](QMessageBox& box) {
        box.activateWindow();
        QWidget* target = QApplication::focusWidget();
        if (!target || target->window() != &box) target = &box;
        QTest::keyClick(target, Qt::Key(key), modifiers);
    };
}

AlertAnswerer::Answer AlertAnswerer::clickButton(const QString& text)
{
    return [text](QMessageBox& box) {
        for (QAbstractButton* button : box.buttons()) {
            if (button->text() == text) {
                button->click();
                return;
            }
        }
        ADD_FAILURE() << "no button " << text.toStdString();
        box.reject();
    };
}

AlertAnswerer::Answer AlertAnswerer::grabThen(const QString& fileName, Answer answer)
{
    return [fileName, answer](QMessageBox& box) {
        box.grab().save(picturePath(fileName));
        answer(box);
    };
}

void EditorWindowsTest::SetUp()
{
    ASSERT_TRUE(m_dir.isValid());
    QApplication::setQuitOnLastWindowClosed(false);
    platform::Defaults::standard().removeAllStored();
    m_editors.setHistory(&m_history);
}

void EditorWindowsTest::TearDown()
{
    closeAllEditors(m_editors);
    m_editors.setHistory(nullptr);
}

QString EditorWindowsTest::writePackage(const QString& name,
                                        const std::function<void(QJsonObject&)>& edit) const
{
    auto package = SnapkinDocument::readPackage(SNAPKIN_TEST_DATA "/package-basic.snapkin");
    EXPECT_TRUE(package.has_value());
    if (!package) return {};
    if (edit) {
        QJsonObject json = QJsonDocument::fromJson(package->documentJSON).object();
        edit(json);
        package->documentJSON = QJsonDocument(json).toJson();
    }
    const QString target = path(name);
    EXPECT_TRUE(SnapkinDocument::write(*package, target).has_value());
    return target;
}

QString EditorWindowsTest::writeImage(const QString& name, QSize size, QColor color) const
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(color);
    const QString target = path(name);
    EXPECT_TRUE(image.save(target, "PNG"));
    return target;
}

bool waitUntil(const std::function<bool()>& done, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!done()) {
        if (deadline.hasExpired()) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    return true;
}

void closeAllEditors(EditorWindowController& editors)
{
    for (EditorPage* page : editors.pages())
        page->store().setHasUnsavedChanges(false);
    for (EditorPage* page : editors.pages())
        page->window()->close();
    waitUntil([&] { return editors.pages().isEmpty(); });
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

QString picturePath(const QString& fileName)
{
    return QStringLiteral(SNAPKIN_BUILD_DIR "/") + fileName;
}

} // namespace snapkin::editortest
