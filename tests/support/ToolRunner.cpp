#include "ToolRunner.h"

#include "TestPaths.h"

#include <QFileInfo>
#include <QProcess>

#include <sys/resource.h>

namespace snapkin::tools {

QString toolPath(const QString& name)
{
    return QStringLiteral(SNAPKIN_TOOLS_DIR) + "/" + name;
}

bool toolBuilt(const QString& name)
{
    return QFileInfo(toolPath(name)).isExecutable();
}

namespace {

ToolRun finish(QProcess& process, const QString& name, const QStringList& arguments, int timeoutMs)
{
    process.start(toolPath(name), arguments);
    ToolRun run;
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        return run;
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

} // namespace

ToolRun runTool(const QString& name, const QStringList& arguments, int timeoutMs,
                const QString& standardOutputFile)
{
    QProcess process;
    if (!standardOutputFile.isEmpty()) process.setStandardOutputFile(standardOutputFile);
    return finish(process, name, arguments, timeoutMs);
}

ToolRun runToolWithAddressSpace(const QString& name, const QStringList& arguments, qint64 bytes,
                                int timeoutMs)
{
    QProcess process;
    process.setChildProcessModifier([bytes] {
        const rlimit limit{rlim_t(bytes), rlim_t(bytes)};
        setrlimit(RLIMIT_AS, &limit);
    });
    return finish(process, name, arguments, timeoutMs);
}

} // namespace snapkin::tools
