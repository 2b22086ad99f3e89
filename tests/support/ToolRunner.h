#pragma once

#include <QString>
#include <QStringList>

namespace snapkin::tools {

// The outcome of running one of the programs under tools/ (snapkin-render, snapkin-ocr, …).
struct ToolRun {
    int exitCode = -1; // -1 when it crashed or did not finish in time
    QString out;
    QString err;
};

QString toolPath(const QString& name);
bool toolBuilt(const QString& name);
// `standardOutputFile`, when given, receives the standard output instead (say /dev/full).
ToolRun runTool(const QString& name, const QStringList& arguments, int timeoutMs = 60000,
                const QString& standardOutputFile = {});
// runTool() with the program's address space held to `bytes`, as `ulimit -v` holds it.
ToolRun runToolWithAddressSpace(const QString& name, const QStringList& arguments, qint64 bytes,
                                int timeoutMs = 120000);

} // namespace snapkin::tools
