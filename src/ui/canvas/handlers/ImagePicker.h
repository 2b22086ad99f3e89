#pragma once

#include <QString>

#include <optional>

class QWidget;

namespace snapkin {

// Asks the user for an image file to place on the canvas. The canvas calls it when the image
// tool is tapped; tests put a picker of their own in its place.
class ImagePicker {
public:
    virtual ~ImagePicker() = default;
    // The chosen file; none when the user cancels. May block in a modal dialog over `parent`.
    virtual std::optional<QString> chooseImageFile(QWidget* parent) = 0;
    // Tells the user, over `parent`, why the chosen file was not placed (`message`, one
    // sentence that names it).
    virtual void tellRefusal(QWidget* parent, const QString& message) = 0;
};

// The open dialogs' filter for the image files Qt can read: "Images (*.bmp *.gif …)".
QString imageFileFilter();

// Qt's open dialog, accepting one image file; refusals in a message box.
class FileDialogImagePicker : public ImagePicker {
public:
    std::optional<QString> chooseImageFile(QWidget* parent) override;
    // A warning alert, "Couldn't open the image", with the message under it.
    void tellRefusal(QWidget* parent, const QString& message) override;
};

} // namespace snapkin
