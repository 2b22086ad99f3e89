#pragma once

#include "editor/options/OptionGroups.h"

#include <QLineEdit>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <optional>

class QAbstractButton;
class QMenu;
class QPushButton;
class QToolButton;

namespace snapkin {

class AnnotationStore;
class OptionButton;

// One size field of the crop controls: a whole number of pixels. Only the numeric characters
// typed count ("-300" reads 300, "12.5" reads 125); text without any is ignored.
//
// While the user types, a value is applied at once only when `fits` says the store would take
// it unchanged; any other value waits for the end of editing (Return or leaving the field),
// where it is applied and clamped by the store. The field is never rewritten from the store
// while the user is typing in it, so typing "1280" is never interrupted by a clamp of "1".
// Return ends the editing and does nothing else.
class CropField : public QLineEdit {
    Q_OBJECT
public:
    CropField(const QString& label, QWidget* parent = nullptr);

    // The typed pixels of `text`; none without a numeric character or with one that is not a
    // plain digit.
    static std::optional<double> parse(const QString& text);
    static QString format(double pixels);

    std::function<bool(double pixels)> fits;
    std::function<void(double pixels)> apply;
    // The store's size now, shown again when the editing ends.
    std::function<double()> current;
    // Shows the store's size unless the user is typing in the field.
    void showValue(double pixels);

protected:
    bool event(QEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void edited(const QString& text);
    void finished();
    void showCurrent();

    double m_shown = 0;
};

// The crop controls of the options bar: width and height fields in pixels, the aspect menu, the
// lock button, "Resize Image…", "Cancel" (Escape) and "Apply" (Return). Escape and Return act
// only in the window that shows these controls, and everything acts on this bar's own store.
class CropOptions : public QWidget {
    Q_OBJECT
public:
    CropOptions(AnnotationStore& store, OptionsDensity density, QWidget* parent = nullptr);

    CropField* widthField() const { return m_width; }
    CropField* heightField() const { return m_height; }
    QToolButton* aspectButton() const { return m_aspect; }
    QMenu* aspectMenu() const { return m_aspectMenu; }
    OptionButton* lockButton() const { return m_lock; }
    QAbstractButton* resizeButton() const { return m_resize; }
    QPushButton* cancelButton() const { return m_cancel; }

private:
    void refresh();
    void cancel();
    void resizeImage();

    QPointer<AnnotationStore> m_store;
    CropField* m_width = nullptr;
    CropField* m_height = nullptr;
    QToolButton* m_aspect = nullptr;
    QMenu* m_aspectMenu = nullptr;
    OptionButton* m_lock = nullptr;
    QAbstractButton* m_resize = nullptr;
    QPushButton* m_cancel = nullptr;
    QPushButton* m_apply = nullptr;
};

} // namespace snapkin
