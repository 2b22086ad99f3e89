#pragma once

// What the programs under tools/ share: messages on standard error, output on standard output
// that reports its own failure, and the version they print.

#include "SnapkinVersion.h"

#include <QByteArray>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QString>

#include <csignal>
#include <cstdio>
#include <new>

namespace snapkin::tools {

// Names the program and its version for --version and messages; a closed pipe on standard
// output becomes a write error (exit status 1) instead of a silent death by SIGPIPE.
inline void identify(const char* name)
{
    QCoreApplication::setApplicationName(QString::fromLatin1(name));
    QCoreApplication::setApplicationVersion(QStringLiteral(SNAPKIN_VERSION));
    std::signal(SIGPIPE, SIG_IGN);
}

// "<program>: <message>" on standard error; returns `status`.
inline int fail(const QString& message, int status = 1)
{
    const QByteArray line =
        (QCoreApplication::applicationName() + QStringLiteral(": ") + message + u'\n').toUtf8();
    std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
    return status;
}

// A usage error: the message and a pointer to --help; exit status 2.
inline int usageError(const QString& message)
{
    return fail(message + QStringLiteral("\nTry '") + QCoreApplication::applicationName() +
                    QStringLiteral(" --help' for more information."),
                2);
}

// Writes to standard output and flushes; false when it could not be written (a full disk, a
// closed pipe).
inline bool writeOut(const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    return std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout) ==
               size_t(bytes.size()) &&
           std::fflush(stdout) == 0;
}

inline int outputFailed()
{
    return fail(QStringLiteral("couldn't write to standard output."));
}

// Parses the arguments; answers --help and --version (exit status 0, or 1 when standard output
// fails) and reports usage errors (2). Returns the status to exit with, or -1 to go on.
inline int parseArguments(QCommandLineParser& parser)
{
    parser.addHelpOption();
    parser.addVersionOption();
    if (!parser.parse(QCoreApplication::arguments())) return usageError(parser.errorText());
    if (parser.isSet(QStringLiteral("help")) || parser.isSet(QStringLiteral("help-all")))
        return writeOut(parser.helpText()) ? 0 : outputFailed();
    if (parser.isSet(QStringLiteral("version"))) {
        return writeOut(QCoreApplication::applicationName() + u' ' +
                        QCoreApplication::applicationVersion() + u'\n')
                   ? 0
                   : outputFailed();
    }
    return -1;
}

// Runs a program's body and returns its exit status. Memory that runs out (an input too large
// for what the machine or a limit allows) ends it with a message and status 1, not an abort.
// The message is written without allocating, since there may be nothing left to allocate.
template <typename Body> int exitOnOutOfMemory(const char* name, Body&& body)
{
    try {
        return body();
    } catch (const std::bad_alloc&) {
        std::fputs(name, stderr);
        std::fputs(": out of memory: the input is too large to process.\n", stderr);
        return 1;
    }
}

} // namespace snapkin::tools
