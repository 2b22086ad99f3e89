#pragma once

#include <QObject>

#include <utility>

namespace snapkin::platform {

// Observable fields of a QObject store follow one order: the store-wide willChange() is emitted,
// then the field's change signal with the new value, then the value is stored. A view that
// repaints on either signal can still read the old value, as it expects.
//
//   void setTool(Tool tool) { publish(this, m_tool, tool, &AnnotationStore::toolChanged); }
template <typename Owner, typename T, typename U>
void publish(Owner* owner, T& field, U&& value, void (Owner::*changed)(const T&))
{
    T newValue(std::forward<U>(value));
    emit owner->willChange();
    emit(owner->*changed)(newValue);
    field = std::move(newValue);
}

// Subscribes to a published field so that the subscriber first receives the current value,
// then every change. `getter` returns the field by value or by reference.
template <typename Owner, typename Getter, typename T, typename Receiver, typename Slot>
QMetaObject::Connection subscribe(Owner* owner, Getter getter, void (Owner::*changed)(const T&),
                                  Receiver* context, Slot slot)
{
    slot((owner->*getter)());
    return QObject::connect(owner, changed, context, slot);
}

} // namespace snapkin::platform
