#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <QTemporaryDir>

// The settings file as the settings tests set it up and read it back.
namespace snapkin::testing {

// Where the settings file of a store kept in `dir` lies.
QString settingsPath(const QTemporaryDir& dir);

// Writes `bytes` to `path`, making its folder first; a failure fails the test.
void writeFile(const QString& path, const QByteArray& bytes);

// The bytes of the file at `path`; empty when it cannot be read.
QByteArray readFile(const QString& path);

// The JSON object the file at `path` holds; empty when it cannot be read or holds none.
QJsonObject fileObject(const QString& path);

} // namespace snapkin::testing
