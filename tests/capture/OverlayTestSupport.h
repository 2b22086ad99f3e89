#pragma once

#include "platform/Announcer.h"
#include "platform/Defaults.h"

#include <QStringList>

namespace snapkin::test {

// Keeps what was announced while it is installed.
class RecordingAnnouncer : public platform::Announcer {
public:
    RecordingAnnouncer() { m_previous = setShared(this); }
    ~RecordingAnnouncer() override { setShared(m_previous); }
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

// Sets a Bool setting for the length of a test and removes it afterwards.
class ScopedSetting {
public:
    ScopedSetting(const QString& key, bool value) : m_key(key)
    {
        platform::Defaults::standard().setValue(key, value);
    }
    ~ScopedSetting() { platform::Defaults::standard().removeObject(m_key); }

private:
    QString m_key;
};

} // namespace snapkin::test
