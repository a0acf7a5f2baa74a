#pragma once
// Small helpers shared by the test binaries.
#include <QString>
#include <string>

namespace vornicle::test {

// A fresh empty directory under the system temp folder, removed at exit.
QString makeTempDir();

// Whole file as bytes.
std::string readFileBytes(const QString& path);

}  // namespace vornicle::test
