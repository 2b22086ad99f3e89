// Idle memory of the running application with a tray host, against a bare Qt program showing
// one tray icon, measured in the same run: RSS and PSS from smaps_rollup 5 s after start.
//
// Run it under an X server without a window manager of its own, for example:
//   tests/support/run-with-xvfb build/bench/IdleMemoryBench
// It starts openbox and a tray (trayer) itself.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <optional>

namespace {

struct Memory {
    double rssMiB = 0;
    double pssMiB = 0;
};

std::optional<Memory> memoryOf(qint64 pid)
{
    QFile file(QStringLiteral("/proc/%1/smaps_rollup").arg(pid));
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    Memory memory;
    for (const QByteArray& line : file.readAll().split('\n')) {
        const QList<QByteArray> parts = line.simplified().split(' ');
        if (parts.size() < 2) continue;
        if (parts[0] == "Rss:") memory.rssMiB = parts[1].toDouble() / 1024.0;
        if (parts[0] == "Pss:") memory.pssMiB = parts[1].toDouble() / 1024.0;
    }
    return memory;
}

// Starts `program` with a fresh home, waits five seconds and reads its memory.
std::optional<Memory> idleMemory(const QString& program)
{
    QTemporaryDir home;
    QDir(home.path()).mkpath(QStringLiteral("runtime"));
    QFile::setPermissions(home.filePath(QStringLiteral("runtime")),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home.path());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
    env.insert(QStringLiteral("XDG_CACHE_HOME"), home.filePath(QStringLiteral("cache")));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.filePath(QStringLiteral("runtime")));
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(program, {});
    if (!process.waitForStarted(5000)) return std::nullopt;
    QThread::sleep(5);
    const auto memory = memoryOf(process.processId());
    process.kill();
    process.waitForFinished(5000);
    return memory;
}

void IdleMemory(benchmark::State& state)
{
    QProcess wm, tray;
    wm.start(QStringLiteral("openbox"), {});
    QThread::msleep(800);
    tray.start(QStringLiteral("trayer"),
               {QStringLiteral("--edge"), QStringLiteral("top"), QStringLiteral("--align"),
                QStringLiteral("right"), QStringLiteral("--widthtype"), QStringLiteral("pixel"),
                QStringLiteral("--width"), QStringLiteral("120"), QStringLiteral("--height"),
                QStringLiteral("24"), QStringLiteral("--transparent"), QStringLiteral("false"),
                QStringLiteral("--SetDockType"), QStringLiteral("true")});
    QThread::msleep(800);
    // This program lives in build/bench.
    const QString build = QDir(QCoreApplication::applicationDirPath() + "/..").canonicalPath();
    for (auto _ : state) {
        const auto app = idleMemory(build + QStringLiteral("/snapkin"));
        const auto bare = idleMemory(build + QStringLiteral("/bench/BareTrayIcon"));
        if (!app || !bare) {
            state.SkipWithError("a process did not start or its memory could not be read");
            break;
        }
        state.counters["snapkin_rss_MiB"] = app->rssMiB;
        state.counters["snapkin_pss_MiB"] = app->pssMiB;
        state.counters["bare_tray_rss_MiB"] = bare->rssMiB;
        state.counters["bare_tray_pss_MiB"] = bare->pssMiB;
        state.counters["rss_ratio"] = app->rssMiB / bare->rssMiB;
    }
    tray.kill();
    wm.kill();
    tray.waitForFinished(3000);
    wm.waitForFinished(3000);
}
BENCHMARK(IdleMemory)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

} // namespace
