#pragma once

// The preloaded shim that makes writes under one folder fail as on a full disk
// (support/full-disk-shim.c): where it is built, the variable naming its folder, and whether
// this build can preload it at all.

#include <QProcessEnvironment>
#include <QString>

namespace snapkin::testing {

inline const char* const fullDiskVariable = "SNAPKIN_FULL_DISK";

inline QString fullDiskShim()
{
    return QStringLiteral(SNAPKIN_BUILD_DIR "/libsnapkin_full_disk_shim.so");
}

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
inline constexpr bool fullDiskShimUnusable = true; // a sanitizer's runtime must come first
#else
inline constexpr bool fullDiskShimUnusable = false;
#endif

// The environment of a child process whose writes under `folder` find the disk full.
inline QProcessEnvironment fullDiskEnvironment(const QString& folder)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("LD_PRELOAD", fullDiskShim());
    env.insert(fullDiskVariable, folder);
    return env;
}

} // namespace snapkin::testing
