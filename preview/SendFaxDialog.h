#pragma once

#include "fax/FaxSending.h"

#include <QDialog>

class QComboBox;
class QLabel;
class QLineEdit;

namespace velmora {

// "Send Fax…": the number (the sheet's recipient fax number to start with), the server and
// the resolution. Its default button sends; a number that is none is told in the dialog, which
// stays open.
class SendFaxDialog : public QDialog {
    Q_OBJECT
public:
    SendFaxDialog(const FaxCall& proposed, int pages, QWidget* parent);

    FaxCall call() const;

    void accept() override;

private:
    QLineEdit* number_ = nullptr;
    QLineEdit* server_ = nullptr;
    QComboBox* resolution_ = nullptr;
    QLabel* problem_ = nullptr;
};

}  // namespace velmora
