#pragma once

#include <poppler-qt6.h>
#include <QString>
#include <memory>

namespace velmora {

// The one way a PDF file is opened with Poppler, to draw its pages or read their text. A file
// that is missing or cannot be read, one that is damaged or no PDF at all, and one locked by
// a password throw Failure with a message for the user that names the file. How the pages
// are drawn (backend, hints, paper) is each reader's own choice.
std::unique_ptr<Poppler::Document> LoadPdf(const QString& path);

}  // namespace velmora
