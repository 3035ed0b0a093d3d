#pragma once

#include "EditorLink.h"

#include <QString>
#include <QWidget>

namespace velmora {

// The preview window: the generated page in a zoomable, scrollable, draggable view, with
// commands to save the document or go back to the editor.
class Form2 : public QWidget {
    Q_OBJECT
public:
    // Creating the window runs its load steps.
    explicit Form2(EditorLink& editor, QWidget* parent = nullptr);
    ~Form2() override;

    // Picture1 = LoadPicture(file): the page the next activation captures. Throws Failure
    // when the file cannot be read as a picture.
    void loadPicture(const QString& pictureFile);

    // The generated document the window saves, and deletes on "< Back" and on close.
    QString mWordFile;

private:
    EditorLink& editor_;
};

}  // namespace velmora
