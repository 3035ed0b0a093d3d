#pragma once

#include <QString>
#include <stdexcept>

namespace velmora {

// A failed operation; its text is what the user reads in the error report.
class Failure : public std::runtime_error {
public:
    explicit Failure(const QString& description) : std::runtime_error(description.toStdString()) {}
};

}  // namespace velmora
