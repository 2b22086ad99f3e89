#include "AlertAnswerer.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPointer>

AlertAnswerer::AlertAnswerer(QStringList answers) : m_answers(std::move(answers))
{
    m_timer.setInterval(10);
    connect(&m_timer, &QTimer::timeout, this, &AlertAnswerer::poll);
    m_timer.start();
}

QStringList AlertAnswerer::texts() const
{
    QStringList list;
    for (const Seen& s : m_seen)
        list << s.text;
    return list;
}

void AlertAnswerer::poll()
{
    for (QWidget* w : QApplication::topLevelWidgets()) {
        auto* box = qobject_cast<QMessageBox*>(w);
        if (!box || !box->isVisible() || box->property("answered").toBool()) continue;
        box->setProperty("answered", true);
        Seen seen{box->text(), box->informativeText(), {}};
        QAbstractButton* chosen = nullptr;
        const QString answer = m_answers.isEmpty() ? QString() : m_answers.takeFirst();
        for (QAbstractButton* b : box->buttons()) {
            seen.buttons << b->text();
            if (b->text() == answer) chosen = b;
        }
        m_seen << seen;
        QPointer<QMessageBox> guard(box);
        if (chosen)
            chosen->click();
        else if (guard)
            box->reject();
        return;
    }
}
