#include "settings/InfoWindowSupport.h"

#include <QCloseEvent>
#include <QCursor>
#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QScreen>
#include <QStackedWidget>
#include <QSvgRenderer>
#include <QTimerEvent>
#include <QVBoxLayout>

namespace snapkin {

InfoWindow::InfoWindow(const QString& title, QWidget* parent) : QDialog(parent)
{
    setWindowTitle(title);
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
}

void InfoWindow::closeEvent(QCloseEvent* event)
{
    event->accept();
    hide();
}

void centerOnScreen(QWidget* window)
{
    QScreen* screen = QGuiApplication::screenAt(QCursor::pos());
    if (!screen) screen = QGuiApplication::primaryScreen();
    if (!screen) return;
    window->adjustSize();
    QRect frame = window->frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    window->move(frame.topLeft());
}

QLabel* makeLabel(const QString& text, double scale, int weight, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    QFont font = label->font();
    if (scale != 1.0) font.setPointSizeF(font.pointSizeF() * scale);
    if (weight >= 0) font.setWeight(QFont::Weight(weight));
    label->setFont(font);
    label->setWordWrap(true);
    label->setTextFormat(Qt::PlainText);
    return label;
}

QLabel* centred(QLabel* label)
{
    label->setAlignment(Qt::AlignHCenter);
    return label;
}

QVBoxLayout* addPage(QStackedWidget* pages, int spacing)
{
    auto* page = new QWidget;
    auto* column = new QVBoxLayout(page);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(spacing);
    pages->addWidget(page);
    return column;
}

QPushButton* windowButton(const QString& title, QSize minimum)
{
    auto* button = new QPushButton(title);
    button->setAutoDefault(false);
    button->setMinimumSize(minimum);
    return button;
}

AppMarkView::AppMarkView(int side, int cornerRadius, QWidget* parent)
    : QWidget(parent), m_radius(cornerRadius)
{
    setFixedSize(side, side);
}

void AppMarkView::paintEvent(QPaintEvent*)
{
    static QSvgRenderer renderer(QStringLiteral(":/settings/AppMark.svg"));
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath clip;
    clip.addRoundedRect(QRectF(rect()), m_radius, m_radius);
    painter.setClipPath(clip);
    renderer.render(&painter, QRectF(rect()));
}

BusySpinner::BusySpinner(int side, QWidget* parent) : QWidget(parent)
{
    setFixedSize(side, side);
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void BusySpinner::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPen pen(palette().color(QPalette::ButtonText), 2.0);
    pen.setCapStyle(Qt::RoundCap);
    painter.setPen(pen);
    const QRectF box = QRectF(rect()).adjusted(2, 2, -2, -2);
    painter.drawArc(box, -m_angle * 16, 270 * 16);
}

void BusySpinner::timerEvent(QTimerEvent* event)
{
    if (event->timerId() != m_timer) return;
    m_angle = (m_angle + 30) % 360;
    update();
}

void BusySpinner::showEvent(QShowEvent*)
{
    if (!m_timer) m_timer = startTimer(80);
}

void BusySpinner::hideEvent(QHideEvent*)
{
    if (m_timer) killTimer(m_timer);
    m_timer = 0;
}

} // namespace snapkin
