#include "HostileImages.h"

#include "TestPaths.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

namespace snapkin::test {

QStringList hostileImageNames()
{
    return {"gif-screen-14000.gif", "png-14000.png",      "bmp-rle8-14000.bmp",
            "bmp-16x6291468.bmp",   "png-30000x6000.png", "jpeg-exif-14000.jpg"};
}

QString hostileImagesFolder()
{
    static const QString folder = [] {
        static QTemporaryDir dir;
        if (!dir.isValid()) return QString();
        QProcess script;
        script.start(QStringLiteral("python3"),
                     {QStringLiteral(SNAPKIN_SCRIPTS_DIR "/hostile-images"), dir.path()});
        if (!script.waitForFinished(60000) || script.exitStatus() != QProcess::NormalExit ||
            script.exitCode() != 0) {
            return QString();
        }
        return dir.path();
    }();
    return folder;
}

QString hostilePackagePath(const QString& name)
{
    return QDir(hostileImagesFolder()).filePath(QFileInfo(name).completeBaseName() + ".snapkin");
}

} // namespace snapkin::test
