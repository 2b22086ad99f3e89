#include "editor/options/AnnotationExtrasOptions.h"

#include "editor/IconButton.h"
#include "editor/options/OptionControls.h"
#include "model/AnnotationStore.h"
#include "model/Color.h"
#include "platform/L10n.h"

#include <QPainter>

namespace snapkin {

namespace {

using platform::L10n;

// A magnification choice: its factor as text over the hover background, brand-coloured while
// it is the magnifier's zoom.
class ZoomButton : public StateButton<IconButton> {
public:
    ZoomButton(const QString& text, QWidget* parent)
        : StateButton(QString(), L10n::text("Magnification"), QSize(30, 30),
                      HoverBackground::buttonCornerRadius, parent)
    {
        setText(text);
        setCheckable(true);
        setAccessibleDescription(text);
        QFont medium = font();
        medium.setWeight(QFont::Medium);
        setFont(medium);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        background().paint(painter, QRectF(rect()));
        painter.setPen(isChecked() ? Color::brand() : palette().color(QPalette::WindowText));
        painter.setFont(font());
        painter.drawText(rect(), Qt::AlignCenter, text());
    }
};

} // namespace

AnnotationExtrasOptions::AnnotationExtrasOptions(AnnotationStore& store, Tool tool, QWidget* parent)
    : QWidget(parent), m_store(&store)
{
    auto* row = rowLayout(this, 3);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    if (tool == Tool::arrow) {
        m_curve =
            new OptionButton(QStringLiteral("point.topleft.down.to.point.bottomright.curvepath"),
                             L10n::text("arrow.curve", "Curve"), this);
        row->addWidget(m_curve);
        connect(m_curve, &QAbstractButton::clicked, this, [this] {
            if (!m_store) return;
            m_store->setArrowCurved(!m_store->arrowCurved());
            m_store->applyStyleToSelection(true);
            refresh();
        });
    } else if (tool == Tool::magnifier) {
        m_circle = new OptionButton(QStringLiteral("circle"), L10n::text("Circle"), this);
        m_square =
            new OptionButton(QStringLiteral("square"), L10n::text("Rounded Rectangle"), this);
        row->addWidget(m_circle);
        row->addWidget(m_square);
        connect(m_circle, &QAbstractButton::clicked, this, [this] { setRound(true); });
        connect(m_square, &QAbstractButton::clicked, this, [this] { setRound(false); });
        row->addWidget(optionDivider(18, 5, this));
        for (const double zoom : zooms) {
            auto* button = new ZoomButton(zoomText(zoom), this);
            m_zoomButtons.append(button);
            row->addWidget(button);
            connect(button, &QAbstractButton::clicked, this, [this, zoom] {
                if (!m_store) return;
                m_store->setMagnifierZoom(zoom);
                m_store->applyStyleToSelection(true);
                refresh();
            });
        }
    }
    followStore(store, this, [this] { refresh(); });
}

QString AnnotationExtrasOptions::zoomText(double zoom)
{
    return QString::number(int(zoom)) + QChar(0x00D7);
}

void AnnotationExtrasOptions::setRound(bool round)
{
    if (!m_store) return;
    m_store->setMagnifierRound(round);
    const std::optional<Annotation> selected = m_store->selected();
    if (round && selected && selected->kind == AnnotationKind::magnifier)
        m_store->updateSelection(true, &AnnotationStore::squareMagnifier);
    else
        m_store->applyStyleToSelection(true);
    refresh();
}

void AnnotationExtrasOptions::refresh()
{
    if (!m_store) return;
    if (m_curve) m_curve->setActive(m_store->arrowCurved());
    if (m_circle) m_circle->setActive(m_store->magnifierRound());
    if (m_square) m_square->setActive(!m_store->magnifierRound());
    for (qsizetype i = 0; i < m_zoomButtons.size(); ++i)
        m_zoomButtons[i]->setChecked(m_store->magnifierZoom() == zooms[std::size_t(i)]);
}

} // namespace snapkin
