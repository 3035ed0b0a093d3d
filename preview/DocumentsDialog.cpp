#include "DocumentsDialog.h"

#include "AttachedDocuments.h"

#include <QDialogButtonBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>

namespace velmora {

DocumentsDialog::DocumentsDialog(AttachedDocuments& documents, QWidget* parent)
    : QDialog(parent), documents_(documents) {
    setObjectName(QStringLiteral("DocumentsDialog"));
    setWindowTitle(QStringLiteral("Documents"));

    auto* intro = new QLabel(
        QStringLiteral("The documents sent behind the cover sheet, in this order:"), this);
    list_ = new QListWidget(this);
    list_->setObjectName(QStringLiteral("DocumentList"));
    list_->setAccessibleName(QStringLiteral("Attached documents"));
    list_->setMinimumSize(420, 220);
    total_ = new QLabel(this);
    total_->setObjectName(QStringLiteral("DocumentsTotal"));

    const auto button = [this](const QString& caption, const char* name) {
        auto* pushButton = new QPushButton(caption, this);
        pushButton->setObjectName(QLatin1String(name));
        pushButton->setAutoDefault(false);
        return pushButton;
    };
    attach_ = button(QStringLiteral("&Attach\u2026"), "AttachButton");
    scan_ = button(tr("&Scan\u2026"), "ScanButton");
    scan_->setToolTip(tr("Scan pages from a scanner (Ctrl+Shift+N)"));
    up_ = button(QStringLiteral("Move &Up"), "MoveUpButton");
    down_ = button(QStringLiteral("Move &Down"), "MoveDownButton");
    remove_ = button(QStringLiteral("&Remove"), "RemoveButton");
    up_->setToolTip(QStringLiteral("Alt+Up"));
    down_->setToolTip(QStringLiteral("Alt+Down"));
    remove_->setToolTip(QStringLiteral("Delete"));

    auto* commands = new QVBoxLayout;
    for (QPushButton* pushButton : {attach_, scan_, up_, down_, remove_})
        commands->addWidget(pushButton);
    commands->addStretch();
    auto* middle = new QHBoxLayout;
    middle->addWidget(list_, 1);
    middle->addLayout(commands);

    auto* close = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(close, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addLayout(middle, 1);
    layout->addWidget(total_);
    layout->addWidget(close);

    connect(attach_, &QPushButton::clicked, this, [this] { documents_.chooseAndAttach(this); });
    connect(scan_, &QPushButton::clicked, this, [this] { documents_.scanPages(this); });
    connect(up_, &QPushButton::clicked, this, [this] { moveSelected(-1); });
    connect(down_, &QPushButton::clicked, this, [this] { moveSelected(1); });
    connect(remove_, &QPushButton::clicked, this,
            [this] { documents_.packet().remove(list_->currentRow()); });
    connect(new QShortcut(QKeySequence(Qt::ALT | Qt::Key_Up), this), &QShortcut::activated, this,
            [this] { moveSelected(-1); });
    connect(new QShortcut(QKeySequence(Qt::ALT | Qt::Key_Down), this), &QShortcut::activated, this,
            [this] { moveSelected(1); });
    connect(new QShortcut(QKeySequence::Delete, list_), &QShortcut::activated, this,
            [this] { documents_.packet().remove(list_->currentRow()); });
    connect(list_, &QListWidget::currentRowChanged, this, &DocumentsDialog::updateButtons);
    connect(&documents_.packet(), &FaxPacket::documentsChanged, this, &DocumentsDialog::fill);
    connect(&documents_.packet(), &FaxPacket::attachingChanged, this,
            &DocumentsDialog::updateButtons);
    fill();
}

void DocumentsDialog::fill() {
    const int keep = list_->currentRow();
    list_->clear();
    const auto& attachments = documents_.packet().documents().attachments();
    for (const Attachment& attachment : attachments) {
        auto* item = new QListWidgetItem(
            QStringLiteral("%1 \u2014 %2")
                .arg(QFileInfo(attachment.source).fileName(), PagesText(attachment.pages)),
            list_);
        item->setToolTip(attachment.source);
    }
    total_->setText(attachments.empty()
                        ? QStringLiteral("No documents attached: the cover sheet goes alone.")
                        : QStringLiteral("%1 attached behind the cover sheet.")
                              .arg(PagesText(documents_.packet().attachedPages())));
    if (list_->count() > 0) list_->setCurrentRow(std::clamp(keep, 0, list_->count() - 1));
    updateButtons();
}

void DocumentsDialog::updateButtons() {
    const int row = list_->currentRow();
    const bool idle = !documents_.packet().attaching();
    attach_->setEnabled(idle);
    scan_->setEnabled(idle);
    up_->setEnabled(idle && row > 0);
    down_->setEnabled(idle && row >= 0 && row + 1 < list_->count());
    remove_->setEnabled(idle && row >= 0);
}

void DocumentsDialog::moveSelected(int by) {
    const int row = list_->currentRow();
    const int to = row + by;
    if (row < 0 || to < 0 || to >= list_->count()) return;
    documents_.packet().move(row, to);
    list_->setCurrentRow(to);
}

}  // namespace velmora
