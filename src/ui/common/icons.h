#pragma once

#include <QIcon>
#include <QString>

namespace corvale {

// An icon of the program's own set (res/icons/NAME.svg), with its disabled
// form: the same drawing in grey, faded.
QIcon program_icon(const QString& name);

}  // namespace corvale
