#include "FaxSending.h"

#include <QRegularExpression>

namespace velmora {

QString FaxNumberProblem(const QString& number) {
    const QString trimmed = number.trimmed();
    if (trimmed.isEmpty()) return QStringLiteral("Enter the fax number to send to.");
    static const QRegularExpression allowed(QStringLiteral("^[0-9 +\\-(),]*$"));
    if (!allowed.match(trimmed).hasMatch())
        return QStringLiteral(
                   "\"%1\" is not a fax number: it may hold only digits, spaces and "
                   "+ - ( ) , (a comma waits a moment while dialling).")
            .arg(trimmed);
    if (!trimmed.contains(QRegularExpression(QStringLiteral("[0-9]"))))
        return QStringLiteral("\"%1\" is not a fax number: it has no digit.").arg(trimmed);
    return {};
}

}  // namespace velmora
