#include "write_workbook_reader.h"

#include <QFile>
#include <QJsonDocument>
#include <QProcess>
#include <QStandardPaths>
#include <gtest/gtest.h>

namespace vornicle::test {

namespace {

// Debian's own interpreter first: it is the one with python3-openpyxl and python3-xlrd.
QString pythonProgram()
{
    if (QFile::exists("/usr/bin/python3"))
        return "/usr/bin/python3";
    return QStandardPaths::findExecutable("python3");
}

}  // namespace

std::optional<QJsonObject> ReadWithPython(const QStringList& arguments, QString* skipReason)
{
    const QString python = pythonProgram();
    if (python.isEmpty()) {
        *skipReason = "python3 is not installed";
        return std::nullopt;
    }
    QProcess process;
    process.start(python, QStringList{QString(VORNICLE_SOURCE_DIR) + "/tests/exchange/write_read_workbook.py"} +
                              arguments);
    if (!process.waitForFinished(120000)) {
        ADD_FAILURE() << "the reader did not finish";
        return std::nullopt;
    }
    if (process.exitCode() == 3) {
        *skipReason = "the python reader module is not installed";
        return std::nullopt;
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        ADD_FAILURE() << "the reader failed: " << process.readAllStandardError().toStdString();
        return std::nullopt;
    }
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(process.readAllStandardOutput(), &parseError);
    if (!doc.isObject()) {
        ADD_FAILURE() << "the reader printed no JSON object: " << parseError.errorString().toStdString();
        return std::nullopt;
    }
    return doc.object();
}

}  // namespace vornicle::test
