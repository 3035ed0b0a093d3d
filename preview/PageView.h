#pragma once

#include "PictureBox.h"

#include <QString>

namespace velmora {

// The page the preview shows: a picture box that also holds the text on the page, for those
// who cannot see the picture. Assistive technology reads it as a read-only document: its
// accessible name (set by the window) says which page and what zoom, its text is the page's.
class PageView : public PictureBox {
    Q_OBJECT
public:
    explicit PageView(QWidget* parent);

    // The text on the page, as the office laid it out; tells assistive technology it changed.
    void setPageText(QString text);
    const QString& pageText() const { return text_; }

private:
    QString text_;
};

}  // namespace velmora
