#pragma once
#include <QString>

namespace vornicle {

// The data directory: the given directory when not empty, else the
// environment variable VORNICLE_HOME, else the executable's own directory.
QString ResolveDataDirectory(const QString& given = QString());

// The database file inside a data directory.
QString DatabasePathIn(const QString& dataDirectory);

}  // namespace vornicle
