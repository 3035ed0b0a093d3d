#include "Procedure.h"

#include "ErrorReport.h"

#include <stdexcept>

namespace velmora {

QString DescribeFailure(const std::exception_ptr& failure) {
    try {
        std::rethrow_exception(failure);
    } catch (const std::exception& e) {
        return QString::fromUtf8(e.what());
    } catch (...) {
        return QStringLiteral("Unknown error");
    }
}

void Procedure::report(const std::exception_ptr& failure) const {
    ShowErrorReport(location_, marker_, DescribeFailure(failure));
}

}  // namespace velmora
