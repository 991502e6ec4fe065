#pragma once

#include <QString>

namespace rendaal {

// The program's texts break their lines with CR, as on Windows; Qt's labels and boxes break
// them at LF.
inline QString ShownText(QString text) {
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

}  // namespace rendaal
