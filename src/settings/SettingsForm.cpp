#include "settings/SettingsForm.h"

#include "editor/SheetStyle.h"
#include "platform/Defaults.h"
#include "platform/Symbols.h"
#include "settings/AboutWindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QSet>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace snapkin {

namespace {

constexpr int iconPointSize = 16;

} // namespace

QFont captionFont(const QFont& base)
{
    QFont f = base;
    if (f.pointSizeF() > 0) f.setPointSizeF(std::max(7.0, f.pointSizeF() - 2));
    return f;
}

// ---- ToneLabel -------------------------------------------------------------------------------

bool ToneLabel::event(QEvent* event)
{
    // The label's own palette stops the application's from reaching it: follow it here.
    if (!m_applying && event->type() == QEvent::ApplicationPaletteChange) applyTone();
    return QLabel::event(event);
}

namespace {

// The application's palette changes reach every tone label, shown or not.
class TonePaletteWatch : public QObject {
public:
    static TonePaletteWatch& instance()
    {
        static auto* watch = [] {
            auto* w = new TonePaletteWatch;
            qApp->installEventFilter(w);
            return w;
        }();
        return *watch;
    }
    QSet<ToneLabel*> labels;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == qApp && event->type() == QEvent::ApplicationPaletteChange) {
            for (ToneLabel* label : std::as_const(labels)) {
                QEvent change(QEvent::ApplicationPaletteChange);
                QCoreApplication::sendEvent(label, &change);
            }
        }
        return false;
    }
};

} // namespace

ToneLabel::ToneLabel(const QString& text, Tone tone, QWidget* parent)
    : QLabel(text, parent), m_tone(tone)
{
    TonePaletteWatch::instance().labels.insert(this);
    applyTone();
}

ToneLabel::~ToneLabel()
{
    TonePaletteWatch::instance().labels.remove(this);
}

void ToneLabel::applyTone()
{
    m_applying = true;
    QPalette p = QApplication::palette(this);
    QColor color = p.color(QPalette::WindowText);
    switch (m_tone) {
    case Tone::secondary:
        color.setAlphaF(sheetstyle::secondaryOpacity);
        break;
    case Tone::tertiary:
        color.setAlphaF(sheetstyle::tertiaryOpacity);
        break;
    case Tone::alert:
        color = QColor(0xd7, 0x26, 0x26);
        break;
    }
    p.setColor(QPalette::WindowText, color);
    p.setColor(QPalette::Text, color);
    setPalette(p);
    m_applying = false;
}

// ---- SettingsLabel ---------------------------------------------------------------------------

SettingsLabel::SettingsLabel(const QString& symbol, const QString& title, QWidget* parent)
    : QWidget(parent), m_symbol(symbol), m_icon(new QLabel(this)), m_title(new QLabel(title, this))
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(iconSpacing);
    m_icon->setFixedWidth(iconColumnWidth);
    m_icon->setAlignment(Qt::AlignCenter);
    drawIcon();
    m_icon->setAccessibleName(QString());
    layout->addWidget(m_icon);
    layout->addWidget(m_title, 1);
}

void SettingsLabel::drawIcon()
{
    const QIcon icon = platform::Symbols::icon(m_symbol);
    if (icon.isNull()) return;
    m_icon->setPixmap(
        icon.pixmap(QSize(iconPointSize, iconPointSize), devicePixelRatioF(), QIcon::Disabled));
}

void SettingsLabel::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::StyleChange) drawIcon();
}

// ---- notes and footer ------------------------------------------------------------------------

QLabel* settingsNote(const QString& text, QWidget* parent)
{
    auto* note = new ToneLabel(text, ToneLabel::Tone::secondary, parent);
    note->setWordWrap(true);
    note->setFont(captionFont(note->font()));
    note->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Minimum);
    note->setTextFormat(Qt::PlainText);
    return note;
}

// ---- VersionFooter ---------------------------------------------------------------------------

VersionFooter::VersionFooter(QWidget* parent)
    : ToneLabel(QStringLiteral("Snapkin ") + AboutWindow::versionLine(), Tone::tertiary, parent)
{
    setTextFormat(Qt::PlainText);
    setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    setFont(captionFont(font()));
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    setContentsMargins(0, 12, 0, 0);
}

QString VersionFooter::line(const QString& shortVersion, const QString& build)
{
    return QStringLiteral("Snapkin ") + AboutWindow::versionLine(shortVersion, build);
}

// ---- SettingsSection -------------------------------------------------------------------------

QWidget* controlRow(int spacing, std::initializer_list<QWidget*> controls, Qt::Alignment align)
{
    auto* row = new QWidget;
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(spacing);
    for (QWidget* control : controls)
        layout->addWidget(control, 0, align);
    return row;
}

SettingsSection::SettingsSection(const QString& header, QWidget* parent) : QWidget(parent)
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(6);
    if (!header.isEmpty()) {
        auto* title = new QLabel(header, this);
        QFont f = title->font();
        f.setBold(true);
        title->setFont(f);
        title->setContentsMargins(4, 0, 0, 0);
        column->addWidget(title);
    }
    auto* group = new QFrame(this);
    group->setObjectName(QStringLiteral("settingsGroup"));
    group->setFrameShape(QFrame::StyledPanel);
    group->setAutoFillBackground(true);
    // A shade apart from both the window and the controls' fields, in light and dark alike.
    group->setBackgroundRole(QPalette::AlternateBase);
    m_group = group;
    m_rows = new QVBoxLayout(group);
    m_rows->setContentsMargins(10, 6, 10, 6);
    m_rows->setSpacing(6);
    column->addWidget(group);
    m_footer = new QVBoxLayout;
    m_footer->setContentsMargins(4, 0, 4, 0);
    m_footer->setSpacing(4);
    column->addLayout(m_footer);
}

QWidget* SettingsSection::addRow(const QString& symbol, const QString& title, QWidget* control)
{
    auto* row = new QWidget(m_group);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 2, 0, 2);
    layout->setSpacing(12);
    auto* label = new SettingsLabel(symbol, title, row);
    layout->addWidget(label, 1, Qt::AlignVCenter);
    if (control) {
        control->setParent(row);
        if (control->accessibleName().isEmpty()) control->setAccessibleName(title);
        layout->addWidget(control, 0, Qt::AlignRight | Qt::AlignVCenter);
    }
    m_rows->addWidget(row);
    return row;
}

QWidget* SettingsSection::addWideRow(QWidget* content)
{
    content->setParent(m_group);
    m_rows->addWidget(content);
    return content;
}

QCheckBox* SettingsSection::addToggle(const QString& symbol, const QString& title,
                                      platform::Defaults& settings,
                                      const platform::Setting<bool>& key,
                                      std::function<void(bool)> onUserChange)
{
    auto* toggle = new QCheckBox;
    toggle->setChecked(settings.getOrDefault(key));
    addRow(symbol, title, toggle);
    QObject::connect(toggle, &QCheckBox::toggled, toggle, [&settings, key, onUserChange](bool on) {
        settings.set(key, on);
        if (onUserChange) onUserChange(on);
    });
    // Another window (the tray menu, the watcher's own refusal) may change the same key.
    QObject::connect(&settings, &platform::Defaults::valueChanged, toggle,
                     [toggle, &settings, key](const QString& changed) {
                         if (changed != key) return;
                         const bool value = settings.getOrDefault(key);
                         if (toggle->isChecked() == value) return;
                         const QSignalBlocker block(toggle);
                         toggle->setChecked(value);
                     });
    return toggle;
}

QLabel* SettingsSection::addNote(const QString& text)
{
    auto* note = settingsNote(text, this);
    m_footer->addWidget(note);
    return note;
}

QWidget* SettingsSection::addFooterWidget(QWidget* widget)
{
    widget->setParent(this);
    m_footer->addWidget(widget);
    return widget;
}

// ---- SettingsForm ----------------------------------------------------------------------------

SettingsForm::SettingsForm(QWidget* parent) : QScrollArea(parent)
{
    setWidgetResizable(true);
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto* content = new QWidget;
    m_column = new QVBoxLayout(content);
    m_column->setContentsMargins(16, 14, 16, 16);
    m_column->setSpacing(18);
    m_column->addStretch(1);
    setWidget(content);
    viewport()->setAutoFillBackground(false);
    content->setAutoFillBackground(false);
}

SettingsSection* SettingsForm::addSection(const QString& header)
{
    auto* section = new SettingsSection(header, widget());
    m_column->insertWidget(m_column->count() - 1, section);
    return section;
}

} // namespace snapkin
