#pragma once

#include <QString>

namespace velmora {

// What is wrong with `number` as a fax number, in words for the user; empty when it is one. A
// fax number holds digits, spaces, "+", "-", "(", ")" and "," (a pause), at least one digit.
QString FaxNumberProblem(const QString& number);

}  // namespace velmora
