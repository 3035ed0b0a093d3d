#include "RecipientDialog.h"

#include "recipients/directory/Directory.h"
#include "recipients/numbers/FaxNumbers.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace velmora {
namespace {

QLineEdit* AddLine(QFormLayout& form, const QString& label, const QString& name,
                   const QString& text) {
    auto* edit = new QLineEdit(text, form.parentWidget());
    edit->setObjectName(name);
    form.addRow(label, edit);
    return edit;
}

QDialogButtonBox* AddButtons(QDialog& dialog, QVBoxLayout& layout) {
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout.addWidget(buttons);
    return buttons;
}

}  // namespace

RecipientDialog::RecipientDialog(const QString& title, const Recipient& start, QWidget* parent)
    : QDialog(parent), id_(start.id) {
    setObjectName(QStringLiteral("RecipientDialog"));
    setWindowTitle(title);
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    layout->addLayout(form);
    name_ = AddLine(*form, tr("&Name:"), QStringLiteral("Name"), start.name);
    company_ = AddLine(*form, tr("&Company:"), QStringLiteral("Company"), start.company);
    fax_ = AddLine(*form, tr("&Fax:"), QStringLiteral("Fax"), start.fax);
    faxWarning_ = new QLabel(this);
    faxWarning_->setObjectName(QStringLiteral("FaxWarning"));
    faxWarning_->setTextFormat(Qt::PlainText);
    faxWarning_->setWordWrap(true);
    faxWarning_->setStyleSheet(QStringLiteral("color: #a01010;"));
    form->addRow(QString(), faxWarning_);
    phone_ = AddLine(*form, tr("&Phone:"), QStringLiteral("Phone"), start.phone);
    email_ = AddLine(*form, tr("&E-mail:"), QStringLiteral("Email"), start.email);
    notes_ = new QPlainTextEdit(start.notes, this);
    notes_->setObjectName(QStringLiteral("Notes"));
    notes_->setTabChangesFocus(true);
    notes_->setFixedHeight(notes_->fontMetrics().lineSpacing() * 4 + 12);
    form->addRow(tr("N&otes:"), notes_);
    groups_ = AddLine(*form, tr("&Groups:"), QStringLiteral("Groups"),
                      start.groups.join(QStringLiteral(", ")));
    groups_->setPlaceholderText(tr("separated by commas"));
    AddButtons(*this, *layout);
    setMinimumWidth(420);
    connect(fax_, &QLineEdit::textChanged, this, &RecipientDialog::checkFax);
    checkFax();
}

void RecipientDialog::checkFax() {
    const QString typed = fax_->text().trimmed();
    const QString warning =
        typed.isEmpty() ? QString() : CheckFaxNumber(typed, FaxRegion()).warning;
    faxWarning_->setText(warning);
    faxWarning_->setVisible(!warning.isEmpty());
}

QString RecipientDialog::faxWarning() const {
    return faxWarning_->text();
}

Recipient RecipientDialog::entry() const {
    Recipient typed;
    typed.id = id_;
    typed.name = name_->text().trimmed();
    typed.company = company_->text().trimmed();
    typed.fax = fax_->text().trimmed();
    typed.phone = phone_->text().trimmed();
    typed.email = email_->text().trimmed();
    typed.notes = notes_->toPlainText().trimmed();
    for (const QString& group : groups_->text().split(QLatin1Char(','), Qt::SkipEmptyParts))
        if (const QString name = group.simplified();
            !name.isEmpty() && !typed.groups.contains(name))
            typed.groups << name;
    return typed;
}

std::optional<Recipient> RunRecipientDialog(QWidget* parent, const QString& title,
                                            const Recipient& start) {
    RecipientDialog dialog(title, start, parent);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.entry();
}

bool EditDirectorySettings(QWidget* parent) {
    QDialog dialog(parent);
    dialog.setObjectName(QStringLiteral("DirectorySettingsDialog"));
    dialog.setWindowTitle(RecipientDialog::tr("Directory Settings"));
    auto* layout = new QVBoxLayout(&dialog);
    auto* form = new QFormLayout;
    layout->addLayout(form);
    const DirectorySettings now = DirectorySettings::load();
    QLineEdit* uri =
        AddLine(*form, RecipientDialog::tr("&Server:"), QStringLiteral("Uri"), now.uri);
    uri->setPlaceholderText(QStringLiteral("ldap://directory.example.com"));
    QLineEdit* base =
        AddLine(*form, RecipientDialog::tr("Search &base:"), QStringLiteral("Base"), now.base);
    base->setPlaceholderText(QStringLiteral("dc=example,dc=com"));
    QLineEdit* bindDn =
        AddLine(*form, RecipientDialog::tr("&Log in as:"), QStringLiteral("BindDn"), now.bindDn);
    bindDn->setPlaceholderText(RecipientDialog::tr("empty: anonymously"));
    auto* note = new QLabel(
        RecipientDialog::tr("The password, where one is needed, is asked for when the directory "
                            "is searched, and kept until Velmora ends."),
        &dialog);
    note->setWordWrap(true);
    layout->addWidget(note);
    AddButtons(dialog, *layout);
    dialog.setMinimumWidth(440);
    if (dialog.exec() != QDialog::Accepted) return false;
    DirectorySettings{uri->text(), base->text(), bindDn->text()}.save();
    return true;
}

}  // namespace velmora
