#include "editor/ResizeView.h"

#include "editor/SheetStyle.h"
#include "model/AnnotationStore.h"
#include "platform/L10n.h"

#include <QCheckBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace snapkin {

using platform::L10n;
using sheetstyle::TextStyle;

ResizeView::ResizeView(AnnotationStore& store, QWidget* parent)
    : QDialog(parent), m_store(store), m_fields(store.pixelDimensions(), store.pixelScale())
{
    setWindowTitle(L10n::text("Resize Image"));
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(20, 20, 20, 20);
    column->setSpacing(16);

    auto* header = new QVBoxLayout;
    header->setSpacing(4);
    header->addWidget(sheetstyle::label(L10n::text("Resize Image"), TextStyle::headline, this));
    const QSize original = m_fields.original();
    // Plain digits, without the locale's grouping: the size as a fact, not a field.
    m_original = sheetstyle::label(
        QStringLiteral("%1 × %2 px")
            .arg(QString::number(original.width()), QString::number(original.height())),
        TextStyle::callout, this, true);
    m_original->setAccessibleName(L10n::text("Original"));
    header->addWidget(m_original);
    column->addLayout(header);

    auto* fieldRow = new QHBoxLayout;
    fieldRow->setSpacing(12);
    fieldRow->addWidget(field(L10n::text("Width"), m_width), 1, Qt::AlignVCenter);
    fieldRow->addWidget(field(L10n::text("Height"), m_height), 1, Qt::AlignVCenter);
    column->addLayout(fieldRow);

    m_lock = new QCheckBox(L10n::text("Lock proportions"), this);
    m_lock->setChecked(m_fields.lockRatio());
    connect(m_lock, &QCheckBox::toggled, this, [this](bool locked) {
        m_fields.setLockRatio(locked);
        showNumbers();
        updateApply();
    });
    column->addWidget(m_lock);

    auto* percentRow = new QHBoxLayout;
    percentRow->setSpacing(8);
    for (int percent : percentages) {
        // Not translated: a number and its sign.
        auto* button = new QPushButton(QString::number(percent) + QLatin1Char('%'), this);
        button->setAutoDefault(false);
        connect(button, &QPushButton::clicked, this, [this, percent] {
            m_fields.applyPercent(percent);
            showNumbers();
            updateApply();
        });
        percentRow->addWidget(button);
        m_percentButtons << button;
    }
    percentRow->addStretch(1);
    column->addLayout(percentRow);

    m_limitNote =
        sheetstyle::label(L10n::format("Too large: at most %@ pixels a side and %@ pixels in all.",
                                       locale().toString(ResizeFields::maxSide),
                                       locale().toString(ResizeFields::maxPixels)),
                          TextStyle::caption, this, true);
    m_limitNote->setWordWrap(true);
    m_limitNote->hide();
    column->addWidget(m_limitNote);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    m_cancel = new QPushButton(L10n::text("Cancel"), this);
    m_cancel->setAutoDefault(false);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
    m_resize = new QPushButton(L10n::text("Resize"), this);
    m_resize->setDefault(true);
    connect(m_resize, &QPushButton::clicked, this, &ResizeView::resizeImage);
    buttons->addWidget(m_cancel);
    buttons->addWidget(m_resize);
    column->addLayout(buttons);

    showNumbers();
    updateApply();
    setFixedWidth(sheetWidth);
    m_width->setFocus();
    m_width->selectAll();
}

ResizeView::~ResizeView()
{
    // A field that loses the focus while the sheet is torn down finishes its editing; the
    // sheet must not hear of it any more.
    m_width->disconnect(this);
    m_height->disconnect(this);
}

QWidget* ResizeView::field(const QString& title, QLineEdit*& edit)
{
    auto* box = new QWidget(this);
    auto* stack = new QVBoxLayout(box);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(4);
    QLabel* caption = sheetstyle::label(title, TextStyle::caption, box, true);
    stack->addWidget(caption);
    edit = new QLineEdit(box);
    edit->setAccessibleName(title);
    caption->setBuddy(edit);
    stack->addWidget(edit);
    QLineEdit* self = edit;
    // Every keystroke that reads as an integer is taken; the grouping is tidied when the
    // field is left.
    connect(edit, &QLineEdit::textChanged, this, [this, self] { typed(self); });
    connect(edit, &QLineEdit::editingFinished, this, [this, self] {
        const QSignalBlocker blocker(self);
        const qint64 value = self == m_width ? m_fields.width() : m_fields.height();
        self->setText(locale().toString(value));
    });
    return box;
}

QPushButton* ResizeView::percentButton(int percent) const
{
    for (size_t i = 0; i < std::size(percentages); ++i)
        if (percentages[i] == percent) return m_percentButtons.value(qsizetype(i));
    return nullptr;
}

void ResizeView::typed(QLineEdit* edit)
{
    bool ok = false;
    const qint64 value = locale().toLongLong(edit->text().trimmed(), &ok);
    // Text that is no integer leaves the number as it was.
    if (!ok) return;
    if (edit == m_width)
        m_fields.typeWidth(value);
    else
        m_fields.typeHeight(value);
    showNumbers(edit);
    updateApply();
}

void ResizeView::showNumbers(QLineEdit* except)
{
    // The sheet's own writes must not count as typing: the blocker keeps a derived number from
    // deriving its partner in turn.
    for (QLineEdit* edit : {m_width, m_height}) {
        if (edit == except) continue;
        const QSignalBlocker blocker(edit);
        edit->setText(locale().toString(edit == m_width ? m_fields.width() : m_fields.height()));
    }
}

void ResizeView::updateApply()
{
    m_resize->setEnabled(m_fields.canApply());
    m_limitNote->setVisible(m_fields.isTooLarge());
    adjustSize();
}

void ResizeView::resizeImage()
{
    if (!m_fields.canApply()) return;
    const auto before = m_store.image().serial();
    m_store.resize(int(m_fields.width()), int(m_fields.height()));
    if (m_store.image().serial() != before) {
        accept();
        return;
    }
    // The store could not make the new image (it ran out of memory): say so, and keep the
    // sheet for another size.
    sheetstyle::openWarning(
        this, L10n::text("Couldn't resize the image"),
        L10n::format("The image couldn't be made %@ × %@ pixels. Try a smaller size.",
                     locale().toString(m_fields.width()), locale().toString(m_fields.height())));
}

void ResizeView::done(int result)
{
    QDialog::done(result);
    if (m_store.isResizing()) m_store.setIsResizing(false);
}

void ResizeView::changeEvent(QEvent* event)
{
    QDialog::changeEvent(event);
    if (event->type() == QEvent::LocaleChange) showNumbers();
}

} // namespace snapkin
