#pragma once
// Texts in the tests are written as UTF-8 literals, as the program's own texts are.

#include <QString>

namespace kormoszi::testing {

inline QString U(const char* utf8) {
    return QString::fromUtf8(utf8);
}

}  // namespace kormoszi::testing
