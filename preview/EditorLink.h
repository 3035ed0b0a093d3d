#pragma once

#include <QString>

namespace velmora {

class AttachedDocuments;

// What the preview asks of the editor: the editor window again ("< Back"), the documents
// attached for the program's run, and a cover made afresh when the packet's page count
// changed under the preview.
class EditorLink {
public:
    virtual ~EditorLink() = default;
    virtual void showEditor() = 0;
    virtual AttachedDocuments& attachedDocuments() = 0;
    // Makes the cover again from the values of the click that made the one shown, for a
    // packet that now counts `totalPages`; the preview gets the new one as it got the first.
    virtual void renewCover() = 0;
    // The recipient's fax number on the sheet, where a fax is sent to at first.
    virtual QString recipientFaxNumber() const { return {}; }
};

}  // namespace velmora
