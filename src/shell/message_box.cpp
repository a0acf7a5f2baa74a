#include "shell/message_box.h"

#include <QMessageBox>

namespace vornicle {

MessageAnswer ShowMessageBox(const QString& text, MessageButtons buttons)
{
    QMessageBox box;
    box.setObjectName(QStringLiteral("信息框"));
    box.setWindowTitle(QStringLiteral("信息："));
    box.setText(text);
    box.setIcon(QMessageBox::NoIcon);
    box.setWindowModality(Qt::ApplicationModal);
    if (buttons == MessageButtons::YesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::No);
        return box.exec() == QMessageBox::Yes ? MessageAnswer::Yes : MessageAnswer::No;
    }
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
    return MessageAnswer::Ok;
}

}  // namespace vornicle
