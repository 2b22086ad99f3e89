#pragma once

#include "editor/EditorViewHooks.h"
#include "text/QuickAccess.h"
#include "text/TextCopier.h"

#include <QString>

namespace snapkin {

// What an editor page gets from the text layer: the toolbar's Copy Text (the text of the
// flattened image) and the Selectable Text overlay with its status badge.
EditorViewHooks editorTextHooks();

namespace detail {

template <class Toast> class TextToastsOver final : public TextToasts {
public:
    void show(const QString& message, double seconds) override { Toast::show(message, seconds); }
    void dismiss() override { Toast::dismiss(); }
};

} // namespace detail

// Installs the text services where they are used inside the text layer: the quick-access text
// action and the toast the copier confirms with. The toast lives in the capture layer beside
// this one, so its type comes from the caller above both: `Toast` has static
// show(message, seconds) and dismiss(). Call once at start-up; the installed objects live for
// the whole run.
template <class Toast> void installTextServices()
{
    static detail::TextToastsOver<Toast> toasts;
    TextCopier::installToasts(&toasts);
    QuickAccessController::shared().setTextAction(&QuickAccessTextCopier::shared());
}

} // namespace snapkin
