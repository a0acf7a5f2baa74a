#pragma once
#include "core/operator_interface.h"

#include <QString>

namespace vornicle {

// A message box of the system: caption "信息：", no owner, application modal,
// Qt's own buttons (translated).
MessageAnswer ShowMessageBox(const QString& text, MessageButtons buttons);

}  // namespace vornicle
