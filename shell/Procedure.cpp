#include "Procedure.h"

#include "ErrorSink.h"

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

std::string Procedure::traceName(int line) const {
    if (!TraceEnabled()) return {};
    QString name = location_.trimmed();
    if (const qsizetype dot = name.indexOf(QLatin1Char('.')); name.startsWith(QLatin1String("in ")))
        name = name.mid(dot + 1);
    return (name + QLatin1Char(' ') + QString::number(line)).toStdString();
}

void Procedure::report(const std::exception_ptr& failure) const {
    CurrentErrorSink().reportError(location_, marker_, DescribeFailure(failure));
}

}  // namespace velmora
