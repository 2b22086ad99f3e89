#include "SettingsFileSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <gtest/gtest.h>

namespace snapkin::testing {

QString settingsPath(const QTemporaryDir& dir)
{
    return dir.path() + "/snapkin/settings.json";
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QJsonObject fileObject(const QString& path)
{
    return QJsonDocument::fromJson(readFile(path)).object();
}

} // namespace snapkin::testing
