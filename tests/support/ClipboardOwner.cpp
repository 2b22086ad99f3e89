#include "support/ClipboardOwner.h"

#include <QDeadlineTimer>
#include <QThread>

#include <signal.h>

namespace snapkin::test {

ClipboardOwner::ClipboardOwner(const QString& file, const QString& target) : m_target(target)
{
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.setStandardOutputFile(QProcess::nullDevice());
    m_process.start(QStringLiteral("xclip"),
                    {QStringLiteral("-quiet"), QStringLiteral("-selection"),
                     QStringLiteral("clipboard"), QStringLiteral("-t"), target,
                     QStringLiteral("-i"), file});
}

ClipboardOwner::~ClipboardOwner()
{
    if (m_process.state() == QProcess::NotRunning) return;
    if (m_stopped) ::kill(pid_t(m_process.processId()), SIGCONT);
    m_process.kill();
    m_process.waitForFinished(5000);
}

bool ClipboardOwner::holdsClipboard()
{
    const QDeadlineTimer deadline(10000);
    while (!deadline.hasExpired()) {
        QProcess ask;
        ask.start(QStringLiteral("xclip"),
                  {QStringLiteral("-o"), QStringLiteral("-selection"), QStringLiteral("clipboard"),
                   QStringLiteral("-t"), QStringLiteral("TARGETS")});
        if (ask.waitForFinished(2000) &&
            ask.readAllStandardOutput().split('\n').contains(m_target.toLatin1()))
            return true;
        QThread::msleep(50);
    }
    return false;
}

void ClipboardOwner::stop()
{
    ::kill(pid_t(m_process.processId()), SIGSTOP);
    m_stopped = true;
}

} // namespace snapkin::test
