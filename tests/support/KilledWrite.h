#pragma once

#include "platform/StaleTemporaries.h"

#include <QByteArray>
#include <QString>

// What a write of ours leaves when it is killed after making its temporary: the temporary,
// marked by its writer as ours and locked by nobody. Sweeps must remove it.
namespace snapkin::test {

// A file `name` in `folder` holding `data`, as a killed file write leaves it.
bool leaveKilledFileWrite(const QString& folder, const QString& name, const QByteArray& data);

// A folder `name` in `folder` holding a document.json (and a QuickLook folder with a preview),
// as a killed package write leaves it.
bool leaveKilledPackageWrite(const QString& folder, const QString& name);

// Marks what stands at `path` (a file or a folder) as our writer marks a temporary of that name.
bool markAsOurTemporary(const QString& path, platform::StaleTemporaries::Kind kind);

} // namespace snapkin::test
