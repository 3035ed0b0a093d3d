#pragma once

namespace velmora {

// The picture of a page. A US-Letter page is rendered at kSnapshotRenderDpi (1360 x 1760
// pixels) and the picture is marked with kSnapshotPictureDpi, so that its natural size
// (pixels x 1440 / dpi) is 5100 x 6600 twips, 340 x 440 logical pixels: the whole page fits
// the preview at zoom 1.0, and there is detail enough to zoom to 2.0 on a screen of device
// pixel ratio 2. The office module renders at this resolution (WordConnection::copyAsPicture).
inline constexpr int kSnapshotRenderDpi = 160;
inline constexpr int kSnapshotPictureDpi = 384;
inline constexpr int kSnapshotDotsPerMeter = int(kSnapshotPictureDpi / 0.0254 + 0.5);

}  // namespace velmora
