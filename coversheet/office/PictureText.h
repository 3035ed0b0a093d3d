#pragma once

namespace velmora {

// What the page picture carries beside its pixels, under these keys of QImage::text(), for
// those who cannot see it: the text on the page as the office laid it out, and how many pages
// the document has (the picture shows the first). The office module writes them
// (WordConnection::copyAsPicture); the preview gives them to assistive technology.
inline constexpr char kPictureTextKey[] = "Velmora page text";
inline constexpr char kPicturePagesKey[] = "Velmora pages";

}  // namespace velmora
