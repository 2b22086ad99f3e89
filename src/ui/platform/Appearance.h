#pragma once

#include <QString>

namespace snapkin::platform {

// The application's look: "light" and "dark" switch to the Fusion style (with outlines that
// stand out, ContrastStyle) and a light or dark palette of our own; any other value ("system"
// included) puts back the style and palette the application had before the first change, so it
// follows the desktop again.
//
// GUI thread only, after the QApplication exists.
namespace Appearance {

void apply(const QString& appearance);

} // namespace Appearance

} // namespace snapkin::platform
