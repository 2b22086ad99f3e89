#pragma once

#include "editor/EditorViewHooks.h"
#include "platform/BaseImage.h"
#include "text/QuickAccess.h"
#include "text/TextCopier.h"

#include <QList>
#include <QString>
#include <QWidget>

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

template <class CopyingHook> class TextCopyingOver final : public CopyingHook {
public:
    void copyText(const platform::BaseImage& image) override
    {
        TextCopier::shared().copyText(image.image());
    }
};

template <class PanelsHook> class QuickAccessPanelsOver final : public PanelsHook {
public:
    QList<QWidget*> panels() override { return QuickAccessController::shared().panels(); }
    bool stillOwns(const QWidget* panel) override
    {
        return QuickAccessController::shared().stillOwns(panel);
    }
};

} // namespace detail

// Installs the text services everywhere they are used: the quick-access text action, and, in the
// capture layer, the text copier for "Copy Text from Region", the toast the copier confirms with
// and the quick-access panels a capture hides.
//
// The capture layer sits beside this one, so its types come from the caller above both:
// `CopyingHook` and `PanelsHook` are its hook interfaces (each with a static install() taking
// a pointer), `Toast` its toast (static show(message, seconds) and dismiss()). Call once at
// start-up; the installed objects live for the whole run.
template <class CopyingHook, class PanelsHook, class Toast> void installTextServices()
{
    static detail::TextToastsOver<Toast> toasts;
    TextCopier::installToasts(&toasts);
    static detail::TextCopyingOver<CopyingHook> copying;
    CopyingHook::install(&copying);
    static detail::QuickAccessPanelsOver<PanelsHook> panels;
    PanelsHook::install(&panels);
    QuickAccessController::shared().setTextAction(&QuickAccessTextCopier::shared());
}

} // namespace snapkin
