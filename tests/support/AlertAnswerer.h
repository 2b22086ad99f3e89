#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

// Answers the message boxes a modal call shows while it lives: each box is recorded, then the
// next planned answer (a button's text) is clicked; with no answer left the box is rejected.
class AlertAnswerer : public QObject {
public:
    struct Seen {
        QString text;
        QString informative;
        QStringList buttons;
    };

    explicit AlertAnswerer(QStringList answers = {});

    const QList<Seen>& seen() const { return m_seen; }
    QStringList texts() const;

private:
    void poll();

    QStringList m_answers;
    QList<Seen> m_seen;
    QTimer m_timer;
};
