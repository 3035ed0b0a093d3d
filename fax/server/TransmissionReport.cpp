#include "TransmissionReport.h"

#include "fax/PageRender.h"
#include "shell/AtomicFile.h"
#include "shell/Failure.h"

#include <QCoreApplication>
#include <QFont>
#include <QLocale>
#include <QPainter>
#include <QPdfWriter>
#include <QPen>
#include <algorithm>
#include <utility>
#include <vector>

namespace velmora {
namespace {

// The report is laid out on a sheet 612 units wide (a Letter page's width in points), its
// length the sheet's in proportion; fonts are sized in these units.
constexpr double kSheetWidth = 612;
constexpr double kMargin = 54;
constexpr double kLabelWidth = 132;
constexpr double kCellPadding = 4;
// The cover's drawing: enough to make out its words at a third of the page's width.
constexpr int kCoverDpi = 90;

QFont ReportFont(int size, bool bold = false) {
    QFont font;
    font.setPixelSize(size);
    font.setBold(bold);
    // The same shapes on every device: the layout must not follow one screen's hinting.
    font.setHintingPreference(QFont::PreferNoHinting);
    // No ligatures: a reader of the PDF finds "first" as it is spelt, not with an "ﬁ".
    font.setStyleStrategy(QFont::PreferNoShaping);
    return font;
}

QString When(const QDateTime& time) {
    if (!time.isValid()) return QCoreApplication::translate("TransmissionReport", "not given");
    return QLocale().toString(time.toLocalTime(), QLocale::LongFormat);
}

QString Length(qint64 seconds) {
    if (seconds < 60) return QCoreApplication::translate("TransmissionReport", "%1 s").arg(seconds);
    if (seconds < 3600)
        return QCoreApplication::translate("TransmissionReport", "%1 min %2 s")
            .arg(seconds / 60)
            .arg(seconds % 60);
    return QCoreApplication::translate("TransmissionReport", "%1 h %2 min %3 s")
        .arg(seconds / 3600)
        .arg(seconds / 60 % 60)
        .arg(seconds % 60);
}

// From the hand-over to the server, or the time it was set to send at when that is later, to
// the end: the server tells no time it began sending.
QString Duration(const SentFax& fax) {
    const bool setLater =
        fax.sendAt.isValid() && fax.submitted.isValid() && fax.sendAt > fax.submitted;
    const QDateTime start = setLater ? fax.sendAt : fax.submitted;
    if (!start.isValid() || !fax.finished.isValid() || fax.finished < start)
        return QCoreApplication::translate("TransmissionReport", "not known");
    const qint64 seconds = start.secsTo(fax.finished);
    return (setLater
                ? QCoreApplication::translate("TransmissionReport",
                                              "%1 (from the time set for sending to end)")
                : QCoreApplication::translate("TransmissionReport", "%1 (from hand-over to end)"))
        .arg(Length(seconds));
}

QString Result(const SentFax& fax) {
    switch (fax.state) {
        case FaxJobState::Done:
            return QCoreApplication::translate("TransmissionReport", "Sent");
        case FaxJobState::Failed:
            return fax.status.isEmpty()
                       ? QCoreApplication::translate("TransmissionReport", "Failed")
                       : QCoreApplication::translate("TransmissionReport", "Failed: %1")
                             .arg(fax.status);
        case FaxJobState::Cancelled:
            return QCoreApplication::translate("TransmissionReport", "Cancelled");
        case FaxJobState::Gone:
            return QCoreApplication::translate("TransmissionReport",
                                               "No longer listed by the server, its end not seen");
        default:
            return QCoreApplication::translate("TransmissionReport", "Not ended yet");
    }
}

QString Resolution(FaxResolution resolution) {
    return (resolution == FaxResolution::Fine
                ? QCoreApplication::translate("TransmissionReport", "Fine (%1 × %2 dpi)")
                : QCoreApplication::translate("TransmissionReport", "Standard (%1 × %2 dpi)"))
        .arg(kFaxDotsPerInch)
        .arg(FaxLinesPerInch(resolution));
}

std::vector<std::pair<QString, QString>> Rows(const SentFax& fax) {
    std::vector<std::pair<QString, QString>> rows;
    rows.emplace_back(QCoreApplication::translate("TransmissionReport", "Job"),
                      fax.server.isEmpty()
                          ? fax.jobId
                          : QCoreApplication::translate("TransmissionReport", "%1 on %2")
                                .arg(fax.jobId, fax.server));
    QString recipient = fax.recipient;
    if (!fax.company.isEmpty())
        recipient = recipient.isEmpty()
                        ? fax.company
                        : QCoreApplication::translate("TransmissionReport", "%1, %2")
                              .arg(recipient, fax.company);
    rows.emplace_back(QCoreApplication::translate("TransmissionReport", "Recipient"),
                      recipient.isEmpty()
                          ? QCoreApplication::translate("TransmissionReport", "not given")
                          : recipient);
    rows.emplace_back(QCoreApplication::translate("TransmissionReport", "Fax number"), fax.number);
    rows.emplace_back(QCoreApplication::translate("TransmissionReport", "Remote station"),
                      fax.remoteStation.isEmpty()
                          ? QCoreApplication::translate("TransmissionReport", "not given")
                          : fax.remoteStation);
    rows.emplace_back(QCoreApplication::translate("TransmissionReport", "Pages"),
                      QCoreApplication::translate("TransmissionReport", "%1 of %2")
                          .arg(fax.pagesSent)
                          .arg(fax.pagesTotal));
    rows.emplace_back(QCoreApplication::translate("TransmissionReport", "Submitted"),
                      When(fax.submitted));
    if (fax.sendAt.isValid())
        rows.emplace_back(QCoreApplication::translate("TransmissionReport", "Set to send at"),
                          When(fax.sendAt));
    rows.emplace_back(QCoreApplication::translate("TransmissionReport", "Finished"),
                      fax.finished.isValid()
                          ? When(fax.finished)
                          : QCoreApplication::translate("TransmissionReport", "not ended"));
    rows.emplace_back(QCoreApplication::translate("TransmissionReport", "Duration"), Duration(fax));
    rows.emplace_back(QCoreApplication::translate("TransmissionReport", "Resolution"),
                      Resolution(fax.resolution));
    rows.emplace_back(QCoreApplication::translate("TransmissionReport", "Tries"),
                      QString::number(fax.tries));
    rows.emplace_back(QCoreApplication::translate("TransmissionReport", "Result"), Result(fax));
    return rows;
}

// The first page of the kept copy; null when there is none or it cannot be read.
QImage Cover(const SentFax& fax) {
    if (fax.document.isEmpty()) return {};
    try {
        return RenderPdfPage(fax.document, 0, kCoverDpi, kCoverDpi);
    } catch (const Failure&) {
        return {};
    }
}

}  // namespace

QPageSize::PageSizeId TransmissionReportPaper(const QLocale& locale) {
    return locale.territory() == QLocale::UnitedStates ? QPageSize::Letter : QPageSize::A4;
}

void DrawTransmissionReport(const SentFax& fax, QPainter& painter, const QRectF& page) {
    if (!(page.width() > 0 && page.height() > 0)) return;
    const QImage cover = Cover(fax);

    painter.save();
    painter.translate(page.topLeft());
    const double scale = page.width() / kSheetWidth;
    painter.scale(scale, scale);
    const double length = page.height() / scale;
    const double right = kSheetWidth - kMargin;
    const double width = right - kMargin;
    const QPen rule(Qt::black, 0.75);
    const QPen faint(QColor(0x90, 0x90, 0x90), 0.5);
    painter.setPen(Qt::black);

    double y = kMargin;
    painter.setFont(ReportFont(20, true));
    const QRectF title(kMargin, y, width, 40);
    const QString heading =
        QCoreApplication::translate("TransmissionReport", "Fax Transmission Report");
    painter.drawText(title, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, heading);
    y += painter.boundingRect(title, Qt::AlignLeft | Qt::TextWordWrap, heading).height() + 8;
    painter.setPen(rule);
    painter.drawLine(QPointF(kMargin, y), QPointF(right, y));
    y += 6;

    // The table: a label and its value a row, long values wrapped.
    const int flags = Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap;
    const QFont labelFont = ReportFont(11, true);
    const QFont valueFont = ReportFont(11);
    const double valueLeft = kMargin + kLabelWidth;
    const double valueWidth = right - valueLeft - kCellPadding;
    for (const auto& [label, value] : Rows(fax)) {
        const QRectF labelBox(kMargin + kCellPadding, y + kCellPadding,
                              kLabelWidth - 2 * kCellPadding, length);
        const QRectF valueBox(valueLeft, y + kCellPadding, valueWidth, length);
        painter.setPen(Qt::black);
        painter.setFont(labelFont);
        const double labelHeight = painter.boundingRect(labelBox, flags, label).height();
        painter.drawText(labelBox, flags, label);
        painter.setFont(valueFont);
        const double valueHeight = painter.boundingRect(valueBox, flags, value).height();
        painter.drawText(valueBox, flags, value);
        y += std::max(labelHeight, valueHeight) + 2 * kCellPadding;
        painter.setPen(faint);
        painter.drawLine(QPointF(kMargin, y), QPointF(right, y));
    }
    painter.setPen(rule);
    painter.drawLine(QPointF(kMargin, y), QPointF(right, y));
    y += 24;

    // The cover below, a third of the sheet wide, or less where the table leaves less room.
    painter.setPen(Qt::black);
    painter.setFont(ReportFont(10));
    const QString caption =
        cover.isNull() ? QCoreApplication::translate("TransmissionReport", "The first page as sent")
                       : QCoreApplication::translate("TransmissionReport",
                                                     "The first page as sent (the cover)");
    const QRectF captionBox(kMargin, y, width, 20);
    painter.drawText(captionBox, Qt::AlignHCenter | Qt::AlignTop, caption);
    y += painter.boundingRect(captionBox, Qt::AlignHCenter | Qt::AlignTop, caption).height() + 6;
    const QSizeF shape = cover.isNull() ? QSizeF(8.5, 11) : QSizeF(cover.size());
    const QSizeF room(kSheetWidth / 3, std::max(0.0, length - kMargin - y));
    QRectF frame(QPointF(), shape.scaled(room, Qt::KeepAspectRatio));
    frame.moveTopLeft(QPointF((kSheetWidth - frame.width()) / 2, y));
    if (!frame.isEmpty()) {
        if (cover.isNull()) {
            painter.setFont(ReportFont(10));
            painter.drawText(frame.adjusted(8, 8, -8, -8), Qt::AlignCenter | Qt::TextWordWrap,
                             QCoreApplication::translate("TransmissionReport",
                                                         "(the fax as sent is no longer kept)"));
            painter.setPen(QPen(Qt::black, 0.75, Qt::DashLine));
        } else {
            painter.setRenderHint(QPainter::SmoothPixmapTransform);
            painter.drawImage(frame, cover);
            painter.setPen(rule);
        }
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(frame);
    }
    painter.restore();
}

void WriteTransmissionReport(const SentFax& fax, const QString& target) {
    const auto failed = [&] {
        return Failure(
            QCoreApplication::translate("TransmissionReport",
                                        "The transmission report could not be written to '%1'.")
                .arg(target));
    };
    AtomicFile file(target);
    {
        QPdfWriter pdf(file.path());
        pdf.setCreator(QStringLiteral("Velmora"));
        pdf.setTitle(QCoreApplication::translate("TransmissionReport", "Fax Transmission Report"));
        pdf.setPageSize(QPageSize(TransmissionReportPaper(QLocale())));
        pdf.setPageMargins(QMarginsF());
        QPainter painter;
        if (!painter.begin(&pdf)) throw failed();
        DrawTransmissionReport(fax, painter, QRectF(0, 0, pdf.width(), pdf.height()));
        if (!painter.end()) throw failed();
    }
    file.commit();
}

}  // namespace velmora
