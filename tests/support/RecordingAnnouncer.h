#pragma once

#include "ui/platform/Announcer.h"

#include <QStringList>

namespace snapkin::test {

// Keeps what was announced while it is installed; puts the previous announcer back when it goes.
class RecordingAnnouncer final : public platform::Announcer {
public:
    RecordingAnnouncer() { m_previous = setShared(this); }
    ~RecordingAnnouncer() override { setShared(m_previous); }
    RecordingAnnouncer(const RecordingAnnouncer&) = delete;
    RecordingAnnouncer& operator=(const RecordingAnnouncer&) = delete;

    void announce(const QString& message) override { said.append(message); }
    bool saidSomethingStartingWith(const QString& start) const
    {
        for (const QString& s : said) {
            if (s.startsWith(start)) return true;
        }
        return false;
    }
    QStringList said;

private:
    Announcer* m_previous = nullptr;
};

} // namespace snapkin::test
