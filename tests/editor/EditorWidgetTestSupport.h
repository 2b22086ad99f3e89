#pragma once

// Helpers shared by the editor window widget tests: answering alerts, recording what the
// history is told, writing packages and images, and starting each test with no editor open.

#include "editor/EditorWindowController.h"
#include "editor/HistoryTracking.h"

#include <QJsonObject>
#include <QMessageBox>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>

namespace snapkin::editortest {

// Answers the application-modal alerts that appear while it lives, in order, one answer per
// alert, and remembers each alert's texts. An alert without an answer left is answered with
// Escape so a test never hangs.
class AlertAnswerer {
public:
    using Answer = std::function<void(QMessageBox&)>;
    struct Seen {
        QString text;
        QString informativeText;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QWidget* parent = nullptr; // the window the alert belongs to
    };

    AlertAnswerer();
    ~AlertAnswerer();
    void then(Answer answer) { m_answers.append(std::move(answer)); }
    const QList<Seen>& seen() const { return m_seen; }

    static Answer key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
    static Answer clickButton(const QString& text);
    // Saves a picture of the alert into the build folder, then answers it.
    static Answer grabThen(const QString& fileName, Answer answer);

private:
    void poll();

    QList<Answer> m_answers;
    QList<Seen> m_seen;
    QTimer* m_timer = nullptr;
    QPointer<QWidget> m_last;
};

// Records what the editors tell the history.
class RecordingHistory : public HistoryTracking {
public:
    struct Tracked {
        const AnnotationStore* store;
        QString title;
        bool waitForChanges;
    };
    QList<Tracked> tracked;
    QList<const AnnotationStore*> closed;

    void track(AnnotationStore& store, const QString& title, std::optional<QUuid>,
               bool waitForChanges) override
    {
        tracked.append({&store, title, waitForChanges});
    }
    void editorWillClose(AnnotationStore& store) override { closed.append(&store); }
    void record(const platform::BaseImage&, const QString&) override {}
};

// Each test has editors of its own that report to the recording history, starts with clean
// settings, and ends with every editor closed without questions.
class EditorWindowsTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    QString path(const QString& name) const { return m_dir.filePath(name); }
    // A copy of the basic fixture package (8 × 6 pixels, one arrow), its document JSON
    // changed by `edit` when given.
    QString writePackage(const QString& name,
                         const std::function<void(QJsonObject&)>& edit = {}) const;
    QString writeImage(const QString& name, QSize size, QColor color = Qt::darkCyan) const;
    EditorWindowController& editors() { return m_editors; }

    RecordingHistory m_history;
    // After the history it reports to, so it goes first.
    EditorWindowController m_editors;
    QTemporaryDir m_dir;
};

// Runs the event loop until `done` or the time is up.
bool waitUntil(const std::function<bool()>& done, int timeoutMs = 5000);
// Closes every open editor of `editors` without asking and lets the deletions happen.
void closeAllEditors(EditorWindowController& editors);
// The folder where tests leave pictures to look at.
QString picturePath(const QString& fileName);

} // namespace snapkin::editortest
