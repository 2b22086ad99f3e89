#pragma once

#include <QString>

namespace snapkin::packagefolders {

// Where files may go around document packages. A package is one document to the user, so
// nothing is saved inside one, and a file dialog never starts inside one: a document written
// into another would be deleted with it, and one left open there would be lost when the outer
// package is replaced. A package here is an existing folder whose name ends in ".snapkin" (any
// letter case), wherever it lies (the history keeps its packages the same way).

// A folder whose name ends in ".snapkin" (any letter case).
bool isPackage(const QString& path);

// The outermost package among the folders that hold `path` (not `path` itself), as an absolute
// path; empty when no folder above `path` is a package.
QString enclosingPackage(const QString& path);

// The outermost package among `path` and the folders that hold it, as an absolute path; empty
// when neither is a package. A folder this names is no place to keep files in.
QString packageAtOrAbove(const QString& path);

// A folder to start a file dialog in, for one that would start in `folder`: `folder` itself when
// neither it nor a folder above it is a package, otherwise the folder that holds the outermost
// of those packages. Absolute.
QString outsidePackages(const QString& folder);

} // namespace snapkin::packagefolders
