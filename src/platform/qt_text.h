#pragma once

#include <QString>

#include <string_view>

namespace rendaal {

// The program's texts are UTF-8 in std::string (file bytes that are not UTF-8 show as U+FFFD).
inline QString ToQString(std::string_view s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

}  // namespace rendaal
