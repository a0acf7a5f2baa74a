#include "core/data_directory.h"

#include <QCoreApplication>
#include <QDir>

namespace vornicle {

QString ResolveDataDirectory(const QString& given)
{
    if (!given.isEmpty())
        return QDir(given).absolutePath();
    const QString env = qEnvironmentVariable("VORNICLE_HOME");
    if (!env.isEmpty())
        return QDir(env).absolutePath();
    return QCoreApplication::applicationDirPath();
}

QString DatabasePathIn(const QString& dataDirectory)
{
    return QDir(dataDirectory).filePath(QStringLiteral("CBC.db"));
}

}  // namespace vornicle
