#include "ui/canvas/CanvasAccessibility.h"

#include "canvas/handlers/SelectionHandles.h"
#include "model/AnnotationStore.h"
#include "platform/L10n.h"
#include "ui/canvas/CanvasView.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QHash>
#include <QPointer>
#include <QWindow>

#include <algorithm>
#include <mutex>

namespace snapkin {

using platform::L10n;

QString CanvasAccessibility::baseImageDescription(const AnnotationStore& store)
{
    // The text promises pixels, so it gives the image's pixels rather than its points (they
    // differ on a HiDPI capture).
    const QSize pixels = store.image().pixelSize();
    QString text = L10n::format("Screenshot, %lld by %lld pixels", qint64(pixels.width()),
                                qint64(pixels.height()));
    const qsizetype n = store.annotations().size();
    text += QStringLiteral(", ");
    if (n == 0)
        text += L10n::text("no annotations");
    else
        text += L10n::plural("%lld annotation", "%lld annotations", qint64(n));
    return text;
}

QString CanvasAccessibility::annotationLabel(const Annotation& a)
{
    switch (a.kind) {
    case AnnotationKind::arrow:
        return L10n::text("Arrow");
    case AnnotationKind::text:
        return a.text.isEmpty() ? L10n::text("Text") : L10n::format("Text: %@", a.text);
    case AnnotationKind::rectangle:
        return L10n::text("Rectangle");
    case AnnotationKind::ellipse:
        return L10n::text("Ellipse");
    case AnnotationKind::line:
        return L10n::text("Line");
    case AnnotationKind::highlight:
        return L10n::text("Highlight");
    case AnnotationKind::pixelate:
        return L10n::text("Obscured area");
    case AnnotationKind::stamp: {
        QString label = L10n::format("Stamp: %@", snapkin::label(a.stamp));
        QStringList words;
        if (!a.text.isEmpty()) words << a.text;
        if (!a.stampLabel.isEmpty()) words << a.stampLabel;
        if (!words.isEmpty()) label += QStringLiteral(", ") + words.join(QLatin1Char(' '));
        return label;
    }
    case AnnotationKind::pen:
        return L10n::text("Freehand drawing");
    // Translators: an annotation tool that dims everything except a chosen area, like a
    // stage spotlight; not a search feature.
    case AnnotationKind::spotlight:
        return L10n::text("tool.spotlight", "Spotlight");
    case AnnotationKind::sticker:
        return a.text.isEmpty() ? L10n::text("Sticker") : L10n::format("Sticker: %@", a.text);
    case AnnotationKind::imageOverlay:
        return L10n::text("Image");
    // Translators: an annotation tool, a loupe placed on the image that shows the area under it
    // enlarged (2x, 3x, 4x); a magnifying glass, not the window zoom.
    case AnnotationKind::magnifier:
        return L10n::text("tool.magnifier", "Magnifier");
    }
    return {};
}

namespace {

// The view's rectangle for an image-point rectangle, in screen coordinates.
QRect screenRect(const CanvasView& view, const QRectF& imageRect)
{
    const double z = view.zoom();
    return QRect(view.mapToGlobal((imageRect.topLeft() * z).toPoint()),
                 (imageRect.size() * z).toSize());
}

// One annotation as an element: a button that selects it, framed by its bounds.
class AnnotationAccessible : public QAccessibleInterface, public QAccessibleActionInterface {
public:
    AnnotationAccessible(CanvasView* view, QUuid id) : m_view(view), m_id(id) {}

    std::optional<Annotation> annotation() const
    {
        if (!m_view) return std::nullopt;
        const AnnotationStore& store = m_view->store();
        if (auto index = store.indexOf(m_id)) return store.annotations()[*index];
        return std::nullopt;
    }

    bool isValid() const override { return annotation().has_value(); }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return m_view ? m_view->window()->windowHandle() : nullptr; }
    QAccessibleInterface* parent() const override
    {
        return m_view ? QAccessible::queryAccessibleInterface(m_view.data()) : nullptr;
    }
    QAccessibleInterface* child(int) const override { return nullptr; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }

    QString text(QAccessible::Text t) const override
    {
        if (t != QAccessible::Name) return {};
        auto a = annotation();
        return a ? CanvasAccessibility::annotationLabel(*a) : QString();
    }
    void setText(QAccessible::Text, const QString&) override {}

    QRect rect() const override
    {
        auto a = annotation();
        if (!a) return {};
        // Even a line of zero length keeps an element of at least one point.
        const QRectF r = SelectionHandles::selectionBounds(*a);
        return screenRect(*m_view, QRectF(r.topLeft(), QSizeF(std::max(1.0, r.width()),
                                                              std::max(1.0, r.height()))));
    }

    QAccessible::Role role() const override { return QAccessible::Button; }
    QAccessible::State state() const override
    {
        QAccessible::State s;
        s.selectable = true;
        if (!m_view) {
            s.invalid = true;
            return s;
        }
        s.selected = m_view->store().selectedID() == m_id;
        return s;
    }

    void* interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::ActionInterface)
            return static_cast<QAccessibleActionInterface*>(this);
        return nullptr;
    }

    QStringList actionNames() const override { return {pressAction()}; }
    void doAction(const QString& name) override
    {
        if (name == pressAction() && isValid()) m_view->store().setSelectedID(m_id);
    }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

    QUuid id() const { return m_id; }

private:
    QPointer<CanvasView> m_view;
    QUuid m_id;
};

// The canvas: the screenshot's summary, with the annotations as its children in list order.
class CanvasAccessible : public QAccessibleWidget {
public:
    explicit CanvasAccessible(CanvasView* view) : QAccessibleWidget(view, QAccessible::Graphic) {}

    ~CanvasAccessible() override
    {
        for (QAccessible::Id id : std::as_const(m_children))
            QAccessible::deleteAccessibleInterface(id);
    }

    CanvasView* view() const { return static_cast<CanvasView*>(widget()); }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name || t == QAccessible::Description)
            return CanvasAccessibility::baseImageDescription(view()->store());
        return QAccessibleWidget::text(t);
    }

    int childCount() const override
    {
        prune();
        return int(view()->store().annotations().size());
    }

    QAccessibleInterface* child(int index) const override
    {
        const auto& annotations = view()->store().annotations();
        if (index < 0 || index >= annotations.size()) return nullptr;
        const QUuid id = annotations[index].id;
        if (auto found = m_children.constFind(id); found != m_children.cend()) {
            if (QAccessibleInterface* existing = QAccessible::accessibleInterface(*found))
                return existing;
        }
        auto* element = new AnnotationAccessible(view(), id);
        m_children.insert(id, QAccessible::registerAccessibleInterface(element));
        return element;
    }

    int indexOfChild(const QAccessibleInterface* child) const override
    {
        const auto* element = dynamic_cast<const AnnotationAccessible*>(child);
        if (!element) return -1;
        return int(view()->store().indexOf(element->id()).value_or(-1));
    }

    QAccessibleInterface* childAt(int x, int y) const override
    {
        // The topmost element under the point, as the pointer would find it.
        for (int i = childCount() - 1; i >= 0; --i) {
            QAccessibleInterface* element = child(i);
            if (element && element->rect().contains(x, y)) return element;
        }
        return nullptr;
    }

private:
    // Forgets the elements of annotations that are gone.
    void prune() const
    {
        const AnnotationStore& store = view()->store();
        for (auto it = m_children.begin(); it != m_children.end();) {
            if (!store.indexOf(it.key())) {
                QAccessible::deleteAccessibleInterface(it.value());
                it = m_children.erase(it);
            } else {
                ++it;
            }
        }
    }

    mutable QHash<QUuid, QAccessible::Id> m_children;
};

} // namespace

QAccessibleInterface* CanvasAccessibility::factory(const QString&, QObject* object)
{
    if (auto* view = qobject_cast<CanvasView*>(object)) return new CanvasAccessible(view);
    return nullptr;
}

void CanvasAccessibility::installFactory()
{
    static std::once_flag once;
    std::call_once(once, [] { QAccessible::installFactory(&CanvasAccessibility::factory); });
}

} // namespace snapkin
