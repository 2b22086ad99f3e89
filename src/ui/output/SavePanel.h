#pragma once

#include "output/ExportFormat.h"

#include <QString>

#include <functional>
#include <memory>
#include <optional>

class QWidget;

namespace snapkin {

class SaveOptionsAccessory;

// The dialog in which the user picks where an image is saved. ExportDialogs drives it; tests
// give a fake to the ExportDialogs they make.
class SavePanel {
public:
    virtual ~SavePanel() = default;

    // The one file type offered: the format's name filter, nothing else.
    virtual void setFormat(ExportFormat format) = 0;
    // The text of the name field.
    virtual QString fileName() const = 0;
    virtual void setFileName(const QString& name) = 0;
    virtual void setDirectory(const QString& folder) = 0;
    // Shows the accessory under the file browser; the panel owns it from now on.
    virtual void setAccessory(SaveOptionsAccessory* accessory) = 0;
    // Runs modally. The chosen file's absolute path, or nothing when the user cancelled.
    virtual std::optional<QString> run() = 0;
};

using SavePanelFactory = std::function<std::unique_ptr<SavePanel>(QWidget* parent)>;

// Qt's own file dialog (not the desktop's, whose layout cannot take the accessory).
std::unique_ptr<SavePanel> makeFileDialogSavePanel(QWidget* parent);

} // namespace snapkin
