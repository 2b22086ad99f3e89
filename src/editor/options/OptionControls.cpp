#include "editor/options/OptionControls.h"

#include "editor/options/OptionGlyphs.h"
#include "model/AnnotationStore.h"

#include <QConicalGradient>
#include <QFrame>
#include <QLabel>
#include <QMenu>
#include <QPainter>

#include <cmath>

namespace snapkin {

void makeChoice(QAbstractButton& button, const QString& label, QSize size)
{
    button.setCheckable(true);
    button.setFixedSize(size);
    button.setToolTip(label);
    button.setAccessibleName(label);
    button.setFocusPolicy(Qt::TabFocus);
}

OptionButton::OptionButton(const QString& symbol, const QString& help, QWidget* parent)
    : StateButton(symbol, help, buttonSize, HoverBackground::buttonCornerRadius, parent)
{
    setCheckable(true);
    setTintsWhenChecked(true);
    setSymbolSize(glyphPoints);
}

void OptionButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QRectF bounds = rect();
    background().paint(painter, bounds);
    const qreal dpr = devicePixelRatioF();
    const QImage glyph = OptionGlyphs::image(symbol(), glyphPoints, symbolColor(), dpr);
    if (!glyph.isNull()) {
        const QSizeF size = QSizeF(glyph.size()) / dpr;
        const QPointF at(std::round((bounds.width() - size.width()) / 2 * dpr) / dpr,
                         std::round((bounds.height() - size.height()) / 2 * dpr) / dpr);
        painter.drawImage(QRectF(at, size), glyph);
    }
    if (hasFocus()) {
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(palette().color(QPalette::Highlight), 1.5));
        painter.drawPath(background().outline(bounds.adjusted(0.75, 0.75, -0.75, -0.75)));
    }
}

PercentMenu::PercentMenu(int from, int to, const QString& label, QWidget* parent)
    : QToolButton(parent)
{
    for (int choice = from; choice <= to; choice += 10)
        m_choices.append(choice);
    setAutoRaise(true);
    setPopupMode(QToolButton::InstantPopup);
    setToolButtonStyle(Qt::ToolButtonTextOnly);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setAccessibleName(label);
    QFont digits = font();
    digits.setStyleHint(QFont::Monospace);
    digits.setFamilies({QStringLiteral("DejaVu Sans Mono"), digits.family()});
    setFont(digits);
    auto* menu = new QMenu(this);
    for (const int choice : m_choices) {
        QAction* item = menu->addAction(percentText(choice));
        item->setCheckable(true);
        m_items.append(item);
        connect(item, &QAction::triggered, this, [this, choice] {
            if (onChoose) onChoose(choice);
            showValue(m_value); // the check marks follow the value, not the click
        });
    }
    setMenu(menu);
}

QString PercentMenu::percentText(int percent)
{
    return QStringLiteral("%1 %").arg(percent);
}

void PercentMenu::showValue(int percent)
{
    m_value = percent;
    setText(percentText(percent));
    setAccessibleDescription(percentText(percent));
    for (qsizetype i = 0; i < m_items.size(); ++i)
        m_items[i]->setChecked(m_choices[i] == percent);
}

QLabel* secondaryLabel(const QString& text, double sizeDelta, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    QFont font = label->font();
    font.setPointSizeF(font.pointSizeF() + sizeDelta);
    label->setFont(font);
    QPalette palette = label->palette();
    QColor secondary = palette.color(QPalette::WindowText);
    secondary.setAlphaF(0.55f);
    palette.setColor(QPalette::WindowText, secondary);
    label->setPalette(palette);
    return label;
}

QHBoxLayout* rowLayout(QWidget* widget, int spacing)
{
    auto* row = new QHBoxLayout(widget);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(spacing);
    return row;
}

QColor hairlineColor()
{
    QColor gray(142, 142, 147);
    gray.setAlphaF(0.4f);
    return gray;
}

QConicalGradient colorWheel(QPointF center)
{
    QConicalGradient wheel(center, 0);
    const QList<QColor> colors{Qt::red,  Qt::yellow,           Qt::green, Qt::cyan,
                               Qt::blue, QColor(175, 82, 222), Qt::red};
    for (qsizetype i = 0; i < colors.size(); ++i)
        wheel.setColorAt(double(i) / double(colors.size() - 1), colors[i]);
    return wheel;
}

QWidget* optionDivider(int height, int padding, QWidget* parent)
{
    auto* holder = new QWidget(parent);
    auto* layout = new QHBoxLayout(holder);
    layout->setContentsMargins(padding, 0, padding, 0);
    auto* line = new QFrame(holder);
    line->setFrameShape(QFrame::VLine);
    line->setFrameShadow(QFrame::Plain);
    line->setForegroundRole(QPalette::Mid);
    line->setFixedHeight(height);
    layout->addWidget(line);
    holder->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    return holder;
}

namespace {

class StoreFollower : public QObject {
public:
    StoreFollower(AnnotationStore& store, QObject* owner, std::function<void()> refresh)
        : QObject(owner), m_refresh(std::move(refresh))
    {
        connect(&store, &AnnotationStore::willChange, this, [this] {
            if (m_pending) return;
            m_pending = true;
            QMetaObject::invokeMethod(
                this,
                [this] {
                    m_pending = false;
                    m_refresh();
                },
                Qt::QueuedConnection);
        });
    }

private:
    std::function<void()> m_refresh;
    bool m_pending = false;
};

} // namespace

void followStore(AnnotationStore& store, QObject* owner, std::function<void()> refresh)
{
    refresh();
    new StoreFollower(store, owner, std::move(refresh));
}

} // namespace snapkin
