#include "PageImage.h"

#include <cmath>
#include "coversheet/office/SnapshotResolution.h"
#include "fax/PageRender.h"

#include <QPainter>
#include <cmath>

namespace velmora {
namespace {

constexpr double kMetresPerInch = 0.0254;
constexpr double kDefaultDpi = 96.0;

double wholeDpi(int dotsPerMetre) {
    const double dpi = std::round(dotsPerMetre * kMetresPerInch);
    return dpi > 0 ? dpi : kDefaultDpi;
}

}  // namespace

QPointF PictureDpi(const QImage& picture) {
    return {wholeDpi(picture.dotsPerMeterX()), wholeDpi(picture.dotsPerMeterY())};
}

QSizeF PictureSizeTwips(const QImage& picture) {
    if (picture.isNull()) return {};
    const QPointF dpi = PictureDpi(picture);
    return {picture.width() * kTwipsPerInch / dpi.x(), picture.height() * kTwipsPerInch / dpi.y()};
}

QPixmap RenderPage(const QImage& page, QSizeF sourceTwips, QSizeF targetTwips,
                   qreal devicePixelRatio) {
    const QSize logical(TwipsToPixels(targetTwips.width()), TwipsToPixels(targetTwips.height()));
    if (logical.isEmpty()) return {};
    const QSize device(static_cast<int>(std::lround(logical.width() * devicePixelRatio)),
                       static_cast<int>(std::lround(logical.height() * devicePixelRatio)));
    QPixmap target(device);
    target.setDevicePixelRatio(devicePixelRatio);
    target.fill(Qt::white);
    if (page.isNull()) return target;

    const QPointF dpi = PictureDpi(page);
    const QRect source =
        QRect(0, 0, static_cast<int>(std::lround(sourceTwips.width() * dpi.x() / kTwipsPerInch)),
              static_cast<int>(std::lround(sourceTwips.height() * dpi.y() / kTwipsPerInch)))
            .intersected(page.rect());
    if (source.isEmpty()) return target;

    // QImage::scaled averages when it shrinks, where a painter's smooth transform would
    // only interpolate between neighbours and let fine print alias.
    // The whole page, as at the first paint, is scaled as it is, without a copy first.
    QImage scaled = (source == page.rect() ? page : page.copy(source))
                        .scaled(device, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    scaled.setDevicePixelRatio(devicePixelRatio);
    QPainter painter(&target);
    painter.drawImage(QPointF(0, 0), scaled);
    return target;
}

QImage FaxViewPicture(const QString& pdf, int index, FaxResolution resolution, QString* text,
                      PageKind kind) {
    const QImage fax = FaxPage(pdf, index, resolution, kind);
    QImage page = fax.convertToFormat(QImage::Format_RGB32);
    constexpr double kScale = double(kSnapshotPictureDpi) / kSnapshotRenderDpi;
    page.setDotsPerMeterX(int(std::lround(fax.dotsPerMeterX() * kScale)));
    page.setDotsPerMeterY(int(std::lround(fax.dotsPerMeterY() * kScale)));
    if (text) *text = PageTextOf(pdf, index);
    return page;
}

}  // namespace velmora
