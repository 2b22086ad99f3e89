#pragma once

#include <QProcess>
#include <QString>

// Another X client holding the clipboard: xclip serving one file as one target, kept in the
// foreground so a test can stop it (SIGSTOP) as a hung program would be. Killed with the object.
namespace snapkin::test {

class ClipboardOwner {
public:
    ClipboardOwner(const QString& file, const QString& target);
    ~ClipboardOwner();
    ClipboardOwner(const ClipboardOwner&) = delete;
    ClipboardOwner& operator=(const ClipboardOwner&) = delete;

    // Waits until the clipboard offers `target` (xclip took it over); false on time-out.
    bool holdsClipboard();
    // Stops the process: it keeps the clipboard and answers nothing.
    void stop();

private:
    QString m_target;
    QProcess m_process;
    bool m_stopped = false;
};

} // namespace snapkin::test
