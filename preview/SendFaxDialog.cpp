#include "SendFaxDialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace velmora {

SendFaxDialog::SendFaxDialog(const FaxCall& proposed, int pages, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("SendFaxDialog"));
    setWindowTitle(QStringLiteral("Send Fax"));

    number_ = new QLineEdit(proposed.number, this);
    number_->setObjectName(QStringLiteral("FaxNumber"));
    server_ = new QLineEdit(proposed.server, this);
    server_->setObjectName(QStringLiteral("FaxServer"));
    server_->setPlaceholderText(DefaultFaxServer());
    resolution_ = new QComboBox(this);
    resolution_->setObjectName(QStringLiteral("FaxResolution"));
    resolution_->addItem(QStringLiteral("Fine (204 \u00d7 196 dpi)"));
    resolution_->addItem(QStringLiteral("Standard (204 \u00d7 98 dpi)"));
    resolution_->setCurrentIndex(proposed.resolution == FaxResolution::Fine ? 0 : 1);
    problem_ = new QLabel(this);
    problem_->setObjectName(QStringLiteral("FaxProblem"));
    problem_->setStyleSheet(QStringLiteral("color: #b00000"));
    problem_->setWordWrap(true);
    problem_->hide();

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Fax &number:"), number_);
    form->addRow(QStringLiteral("Ser&ver:"), server_);
    form->addRow(QStringLiteral("&Resolution:"), resolution_);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
    QPushButton* send = buttons->addButton(QStringLiteral("&Send"), QDialogButtonBox::AcceptRole);
    send->setObjectName(QStringLiteral("SendButton"));
    send->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &SendFaxDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(
        QStringLiteral("The packet, %1, goes to the fax server as one job, with this cover sheet "
                       "as its cover.")
            .arg(pages == 1 ? QStringLiteral("1 page") : QStringLiteral("%1 pages").arg(pages)),
        this));
    layout->addLayout(form);
    layout->addWidget(problem_);
    layout->addWidget(buttons);
    number_->setFocus();
}

FaxCall SendFaxDialog::call() const {
    return {.number = number_->text().trimmed(),
            .server = server_->text().trimmed(),
            .resolution =
                resolution_->currentIndex() == 0 ? FaxResolution::Fine : FaxResolution::Standard};
}

void SendFaxDialog::accept() {
    const QString problem = FaxNumberProblem(call().number);
    if (!problem.isEmpty()) {
        problem_->setText(problem);
        problem_->show();
        number_->setFocus();
        number_->selectAll();
        return;
    }
    QDialog::accept();
}

}  // namespace velmora
