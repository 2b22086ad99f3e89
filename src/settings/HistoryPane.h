#pragma once

#include "history/CaptureHistory.h"
#include "settings/SettingsForm.h"
#include "settings/SettingsHooks.h"

#include <QDateTime>
#include <QObject>

#include <functional>
#include <optional>

class QCheckBox;
class QComboBox;
class QPushButton;

namespace snapkin {

// What the history pane needs of the capture history; the application's history by default,
// a fake in tests.
class HistoryPaneSource : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    virtual qsizetype count() const = 0;
    virtual QString directory() const = 0;
    virtual void pruneExpired(const QDateTime& now) = 0;
    virtual void revealFolder() = 0;
    virtual void removeAll() = 0;
    // Calls `then` on the main thread once the writes queued so far are on disk.
    virtual void whenWritesDone(QObject* context, std::function<void()> then) = 0;
    // Why the history keeps nothing (its folder was refused); empty while it works.
    virtual QString unavailableReason() const { return {}; }

signals:
    void entriesChanged();
};

// The source over a CaptureHistory.
class CaptureHistorySource final : public HistoryPaneSource {
    Q_OBJECT
public:
    explicit CaptureHistorySource(CaptureHistory& history, QObject* parent = nullptr);
    qsizetype count() const override { return m_history.entries().size(); }
    QString directory() const override { return m_history.files().directory(); }
    void pruneExpired(const QDateTime& now) override { m_history.pruneExpired(now); }
    void revealFolder() override { m_history.revealFolder(); }
    void removeAll() override { m_history.removeAll(); }
    void whenWritesDone(QObject* context, std::function<void()> then) override
    {
        m_history.whenWritesDone(context, std::move(then));
    }
    QString unavailableReason() const override { return m_history.unavailableReason(); }

private:
    CaptureHistory& m_history;
};

// The History settings: keeping a history of captures, for how long (a shorter period
// removes what is now too old at once), how many captures it holds and the space they take,
// showing its folder and emptying it after a confirmation.
//
// The space is measured away from the GUI thread when the pane opens and whenever the number
// of captures changes, each time after the history's queued writes (a deletion included) are
// done; a measurement that finishes after a newer one started is dropped.
class HistoryPane : public SettingsForm {
    Q_OBJECT
public:
    // Asks whether to empty a history of `count` captures.
    using Confirm = std::function<bool(QWidget* parent, qsizetype count)>;
    static Confirm defaultConfirm();

    // `shell` opens the start window from the pane's link (none: no link).
    HistoryPane(platform::Defaults& settings, HistoryPaneSource& source,
                Confirm confirm = defaultConfirm(), const SettingsHooks& shell = {},
                QWidget* parent = nullptr);

    // "1 week" … "Forever" (every unknown number is "Forever").
    static QString label(int days);
    // "12 · 3.4 MB": the count, then the size once measured.
    static QString summary(qsizetype count, std::optional<qint64> size);

    QCheckBox* enabledToggle() const { return m_enabled; }
    QComboBox* retentionPicker() const { return m_retention; }
    QLabel* disabledNote() const { return m_disabledNote; }
    // Says why the history keeps nothing, shown only while its folder is refused.
    QLabel* unavailableNote() const { return m_unavailableNote; }
    QLabel* summaryText() const { return m_summary; }
    QPushButton* revealButton() const { return m_reveal; }
    QPushButton* emptyButton() const { return m_empty; }
    std::optional<qint64> diskSize() const { return m_diskSize; }

    // Runs "Empty History…" as if clicked.
    void askToEmpty();

signals:
    // A measurement has been stored (tests wait for it).
    void diskSizeMeasured(qint64 size);

private:
    void refresh();
    void measure();

    platform::Defaults& m_settings;
    HistoryPaneSource& m_source;
    Confirm m_confirm;
    QCheckBox* m_enabled = nullptr;
    QComboBox* m_retention = nullptr;
    QLabel* m_disabledNote = nullptr;
    QLabel* m_unavailableNote = nullptr;
    QLabel* m_summary = nullptr;
    QPushButton* m_reveal = nullptr;
    QPushButton* m_empty = nullptr;
    std::optional<qint64> m_diskSize;
    qsizetype m_measuredCount = -1;
    quint64 m_generation = 0;
};

} // namespace snapkin
