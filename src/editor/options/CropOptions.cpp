#include "editor/options/CropOptions.h"

#include "editor/options/OptionControls.h"
#include "model/AnnotationStore.h"
#include "platform/L10n.h"

#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QShortcut>
#include <QToolButton>

#include <cmath>

namespace snapkin {

using platform::L10n;

// ---- field -------------------------------------------------------------------------------

CropField::CropField(const QString& label, QWidget* parent) : QLineEdit(parent)
{
    setFixedWidth(54);
    setAccessibleName(label);
    setToolTip(label);
    setAlignment(Qt::AlignRight);
    connect(this, &QLineEdit::textEdited, this, &CropField::edited);
    connect(this, &QLineEdit::editingFinished, this, &CropField::finished);
}

std::optional<double> CropField::parse(const QString& text)
{
    QString digits;
    for (const QChar c : text) {
        if (!c.isNumber()) continue;
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) return std::nullopt;
        digits.append(c);
    }
    bool ok = false;
    const double value = digits.toDouble(&ok);
    if (digits.isEmpty() || !ok) return std::nullopt;
    return value;
}

QString CropField::format(double pixels)
{
    return QString::number(static_cast<qint64>(std::round(pixels)));
}

void CropField::showValue(double pixels)
{
    m_shown = pixels;
    // Typing in progress: the user's text stays until the editing ends.
    if (hasFocus() && isModified()) return;
    const QString text = format(pixels);
    if (text != this->text()) setText(text);
}

void CropField::edited(const QString& text)
{
    const std::optional<double> value = parse(text);
    if (!value) return;
    if (fits && !fits(*value)) return; // applied, and clamped, when the editing ends
    if (apply) apply(*value);
}

void CropField::finished()
{
    if (const std::optional<double> value = parse(text()); value && isModified() && apply)
        apply(*value);
    setModified(false);
    // The store's value, clamped; the focus may still be here after Return.
    showCurrent();
}

void CropField::showCurrent()
{
    if (current) m_shown = current();
    const QString text = format(m_shown);
    if (text != this->text()) setText(text);
}

void CropField::focusOutEvent(QFocusEvent* event)
{
    QLineEdit::focusOutEvent(event);
    showCurrent();
}

bool CropField::event(QEvent* event)
{
    // Return and Enter end the editing here; they must not reach the bar's Apply.
    if (event->type() == QEvent::ShortcutOverride) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            event->accept();
            return true;
        }
    }
    return QLineEdit::event(event);
}

// ---- controls ----------------------------------------------------------------------------

CropOptions::CropOptions(AnnotationStore& store, OptionsDensity density, QWidget* parent)
    : QWidget(parent), m_store(&store)
{
    auto* row = rowLayout(this, 12);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);

    m_width = new CropField(L10n::text("Crop width"), this);
    m_height = new CropField(L10n::text("Crop height"), this);
    // A typed size goes live only when the store would keep it as typed.
    m_width->fits = [this](double pixels) {
        if (!m_store) return false;
        const double points = pixels / m_store->pixelScale();
        return points >= 10 &&
               points <= m_store->image().pointSize().width() - m_store->cropRect().x();
    };
    m_height->fits = [this](double pixels) {
        if (!m_store) return false;
        const double points = pixels / m_store->pixelScale();
        return points >= 10 &&
               points <= m_store->image().pointSize().height() - m_store->cropRect().y();
    };
    m_width->apply = [this](double pixels) {
        if (m_store) m_store->setCropWidth(pixels / m_store->pixelScale());
    };
    m_height->apply = [this](double pixels) {
        if (m_store) m_store->setCropHeight(pixels / m_store->pixelScale());
    };
    m_width->current = [this] {
        return m_store ? m_store->cropRect().width() * m_store->pixelScale() : 0.0;
    };
    m_height->current = [this] {
        return m_store ? m_store->cropRect().height() * m_store->pixelScale() : 0.0;
    };
    row->addWidget(m_width);
    row->addWidget(secondaryLabel(QString(QChar(0x00D7)), 0, this));
    row->addWidget(m_height);
    row->addWidget(secondaryLabel(QStringLiteral("px"), -1.5, this));

    m_aspect = new QToolButton(this);
    m_aspect->setAutoRaise(true);
    m_aspect->setPopupMode(QToolButton::InstantPopup);
    m_aspect->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    m_aspect->setAccessibleName(L10n::text("Aspect ratio"));
    m_aspectMenu = new QMenu(m_aspect);
    for (const CropAspect aspect : EnumTable<CropAspect>::cases) {
        connect(m_aspectMenu->addAction(label(aspect)), &QAction::triggered, this, [this, aspect] {
            if (m_store) m_store->setCropAspect(aspect);
        });
    }
    m_aspect->setMenu(m_aspectMenu);
    row->addWidget(m_aspect);

    m_lock = new OptionButton(QStringLiteral("lock.open"), L10n::text("Lock proportions"), this);
    row->addWidget(m_lock);
    connect(m_lock, &QAbstractButton::clicked, this, [this] {
        if (m_store) m_store->setCropLock(!m_store->cropLock());
        refresh();
    });

    row->addWidget(optionDivider(20, 0, this));

    const QString resizeText = L10n::text("Resize Image…");
    if (density == OptionsDensity::full) {
        auto* resize = new QPushButton(resizeText, this);
        resize->setAutoDefault(false);
        m_resize = resize;
    } else {
        auto* resize = new OptionButton(QStringLiteral("arrow.up.left.and.arrow.down.right"),
                                        resizeText, this);
        resize->setCheckable(false);
        m_resize = resize;
    }
    m_resize->setToolTip(resizeText);
    m_resize->setAccessibleName(resizeText);
    row->addWidget(m_resize);
    connect(m_resize, &QAbstractButton::clicked, this, &CropOptions::resizeImage);

    m_cancel = new QPushButton(L10n::text("Cancel"), this);
    m_cancel->setAutoDefault(false);
    m_apply = new QPushButton(L10n::text("Apply"), this);
    m_apply->setAutoDefault(false);
    m_apply->setDefault(true);
    row->addWidget(m_cancel);
    row->addWidget(m_apply);
    connect(m_cancel, &QAbstractButton::clicked, this, &CropOptions::cancel);
    connect(m_apply, &QAbstractButton::clicked, this, [this] {
        if (m_store) m_store->applyCrop();
    });
    // The keys belong to the window that shows this row (hidden rows take none).
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    escape->setContext(Qt::WindowShortcut);
    connect(escape, &QShortcut::activated, m_cancel, &QAbstractButton::click);
    for (const int key : {Qt::Key_Return, Qt::Key_Enter}) {
        auto* confirm = new QShortcut(QKeySequence(key), this);
        confirm->setContext(Qt::WindowShortcut);
        connect(confirm, &QShortcut::activated, m_apply, &QAbstractButton::click);
    }

    followStore(store, this, [this] { refresh(); });
}

void CropOptions::refresh()
{
    if (!m_store) return;
    const double scale = m_store->pixelScale();
    const QRectF rect = m_store->cropRect();
    m_width->showValue(rect.width() * scale);
    m_height->showValue(rect.height() * scale);
    m_aspect->setText(label(m_store->cropAspect()));
    m_aspect->setAccessibleDescription(label(m_store->cropAspect()));
    m_lock->setSymbol(m_store->cropLock() ? QStringLiteral("lock.fill")
                                          : QStringLiteral("lock.open"));
    m_lock->setActive(m_store->cropLock());
}

void CropOptions::cancel()
{
    if (!m_store) return;
    m_store->setIsCropping(false);
    m_store->setTool(Tool::select);
}

void CropOptions::resizeImage()
{
    if (!m_store) return;
    if (m_store->isCropping()) cancel();
    m_store->setIsResizing(true);
}

} // namespace snapkin
