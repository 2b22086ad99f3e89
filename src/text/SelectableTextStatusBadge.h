#pragma once

#include "text/SelectableTextModel.h"

#include <QWidget>

class QGraphicsOpacityEffect;
class QPropertyAnimation;

namespace snapkin {

// The capsule at the bottom of the editor's canvas area that says what Selectable Text is
// doing: "Analyzing text…" with a small spinner while it analyses, "No text in this image"
// for 3 seconds after an analysis found none (announced once), and why it isn't available.
// Nothing shows while it is off or has found text. Capsules fade in and out over 0.2 s.
//
// It never takes the mouse. Created while the status already says no text, it shows nothing
// and announces nothing: the note is for the change only.
class SelectableTextStatusBadge : public QWidget {
    Q_OBJECT
public:
    static constexpr int noTextMs = 3000;
    static constexpr int fadeMs = 200;
    static constexpr int bottomPadding = 12;

    explicit SelectableTextStatusBadge(SelectableTextModel::Status status,
                                       QWidget* parent = nullptr);

    SelectableTextModel::Status status() const { return m_status; }
    void setStatus(SelectableTextModel::Status status);

    // The text of the capsule showing; empty when none shows.
    QString text() const { return m_shown; }

    // Where the badge goes in an area of `area`: centred, 12 points above its bottom.
    QRect placement(const QRect& area) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    void refresh();

    SelectableTextModel::Status m_status;
    bool m_showNoText = false;
    QString m_shown;
    QString m_glyph;
    bool m_spinning = false;
    int m_spinTimer = 0;
    int m_spinAngle = 0;
    QGraphicsOpacityEffect* m_opacity = nullptr;
    QPropertyAnimation* m_fade = nullptr;
};

} // namespace snapkin
