#pragma once

#include "capture/hotkeys/HotKeyGrabber.h"
#include "settings/HistoryPane.h"

#include <QList>
#include <QString>

#include <map>

namespace snapkin::test {

// Grabs nothing on a server: remembers what is held and refuses what it is told another
// application holds.
class FakeGrabber : public HotKeyGrabber {
public:
    std::expected<void, platform::HotKeyError> grab(quint64 identifier,
                                                    const CaptureHotKey& combination) override;
    void release(quint64 identifier) override { grabs.erase(identifier); }
    bool isGrabbed(const CaptureHotKey& combination) const;

    QList<CaptureHotKey> heldElsewhere;
    std::map<quint64, CaptureHotKey> grabs;
};

// A history of `count` captures in `directory`; writes are done when the test says so.
class FakeHistorySource : public HistoryPaneSource {
public:
    qsizetype count() const override { return entries; }
    QString directory() const override { return folder; }
    void pruneExpired(const QDateTime& now) override { prunedAt << now; }
    void revealFolder() override { ++reveals; }
    void removeAll() override
    {
        ++removals;
        entries = 0;
        emit entriesChanged();
    }
    void whenWritesDone(QObject*, std::function<void()> then) override { pending << then; }
    // Runs the callbacks of the writes "finished" so far.
    void finishWrites();

    qsizetype entries = 0;
    QString folder;
    QList<QDateTime> prunedAt;
    int reveals = 0;
    int removals = 0;
    QList<std::function<void()>> pending;
};

// Writes a picture of `widget` into the build folder under `name`.
void saveScreenshot(QWidget& widget, const QString& name);

} // namespace snapkin::test
