#pragma once

#include <QString>
#include <QStringList>

// Small files that declare huge images, written by scripts/hostile-images: a GIF whose logical
// screen is 14000 x 14000, a 14000 x 14000 PNG of one grey, an RLE8 BMP of 14000 x 14000, a
// 16 x 6291468 BMP, a 30000 x 6000 PNG and a 14000 x 14000 JPEG turned by its EXIF data. Each
// is there as a file and as a package ("<base name>.snapkin" holding it as image.png).
namespace snapkin::test {

// The folder they are in, written once per test program; empty when the script failed.
QString hostileImagesFolder();
// Their file names, in the order above.
QStringList hostileImageNames();
// The package that holds the named image.
QString hostilePackagePath(const QString& name);

} // namespace snapkin::test
