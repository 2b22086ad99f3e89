#pragma once

#include "platform/Defaults.h"
#include "support/RecordingAnnouncer.h"

#include <QStringList>

namespace snapkin::test {

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
