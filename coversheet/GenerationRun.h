#pragma once

#include "CoverSheet.h"

#include <QDate>
#include <QImage>
#include <QString>
#include <functional>

namespace velmora {

// What the generation run needs of the window it runs for: the field values, the pointer
// and the hand-over to the preview.
class GenerationHost {
public:
    virtual ~GenerationHost() = default;

    virtual int selectedTab() const = 0;
    // A field's value, read from the member the run reads (the highest-numbered one).
    virtual QString fieldText(const coversheet::CoverSheetField& field) const = 0;
    virtual QDate fieldDate(const coversheet::CoverSheetField& field) const = 0;
    virtual int fieldTick(const coversheet::CoverSheetField& field) const = 0;

    virtual void setBusyPointer(bool busy) = 0;

    // Makes the page the picture of the preview's view; throws Failure for a null picture.
    virtual void setPreviewPicture(const QImage& page) = 0;
    virtual void setPreviewWordFile(const QString& documentPath) = 0;
    virtual void showPreview() = 0;
    virtual void hideEditor() = 0;
};

// "Start Creating Template": fills the selected style's template with the fields, saves it
// as a uniquely named document in the temporary folder, makes its picture and hands both
// to the preview. Every step is numbered and reports its own failure; a run always ends by
// clearing its busy flag.
class GenerationRun {
public:
    using DigitSource = std::function<int()>;  // a digit from 1 to 9

    explicit GenerationRun(GenerationHost& host, DigitSource drawDigit = {});

    // PushButton6_Click. A call while a run is under way does nothing.
    void run();
    bool busy() const { return busy_; }

    static QString TemplatePath();  // template.dot in the temporary folder

private:
    GenerationHost& host_;
    DigitSource drawDigit_;
    bool busy_ = false;
};

}  // namespace velmora
