#pragma once

#include "../capture/HotKeyTestSupport.h"
#include "settings/HistoryPane.h"

#include <QFont>
#include <QImage>
#include <QLabel>
#include <QList>
#include <QString>

#include <map>
#include <optional>

namespace snapkin::test {

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
    QString unavailableReason() const override { return refusal; }
    // Runs the callbacks of the writes "finished" so far.
    void finishWrites();

    qsizetype entries = 0;
    QString folder;
    QString refusal;
    QList<QDateTime> prunedAt;
    int reveals = 0;
    int removals = 0;
    QList<std::function<void()>> pending;
};

// An installed family whose "1" is narrower than its "8", as in many interface fonts (the one
// where it is narrowest by).
std::optional<QFont> proportionalDigitsFont();

// The fonts a label of tabular digits is tried in: `widget`'s own, `proportional`, and
// `widget`'s at twice its size, where the widest value is wider than a small label would be.
QList<QFont> tabularDigitsFonts(const QWidget& widget, const QFont& proportional);

// `label` showing `text` at its preferred size, drawn into an image.
QImage drawn(QLabel* label, const QString& text);

// How many pixels of `widget`, drawn with its children on its window colour, are `color` give
// or take a little (a link's underline is drawn solid in its colour).
int pixelsOf(QWidget* widget, const QColor& color);

// Writes a picture of `widget` into the build folder under `name`.
void saveScreenshot(QWidget& widget, const QString& name);

} // namespace snapkin::test
