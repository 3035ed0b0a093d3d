#pragma once

#include <QDialog>

class QLabel;
class QListWidget;
class QPushButton;

namespace velmora {

class AttachedDocuments;

// "Documents…": the attached documents in the order they go out behind the cover, each with
// its pages; the user moves them up and down, removes them and attaches more. Changes take
// effect at once.
class DocumentsDialog : public QDialog {
    Q_OBJECT
public:
    DocumentsDialog(AttachedDocuments& documents, QWidget* parent);

private:
    void fill();
    void updateButtons();
    void moveSelected(int by);

    AttachedDocuments& documents_;
    QListWidget* list_ = nullptr;
    QLabel* total_ = nullptr;
    QPushButton* attach_ = nullptr;
    QPushButton* scan_ = nullptr;
    QPushButton* up_ = nullptr;
    QPushButton* down_ = nullptr;
    QPushButton* remove_ = nullptr;
};

}  // namespace velmora
