#include "ScanDialog.h"

#include "AttachedDocuments.h"
#include "fax/FaxPacket.h"
#include "shell/Failure.h"
#include "shell/Job.h"
#include "shell/SettingsStore.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

namespace velmora {
namespace {

constexpr int kThumbnailHeight = 132;
const char kScannerKey[] = "Scanner";

}  // namespace

ScanDialog::ScanDialog(FaxPacket& packet, QWidget* parent) : QDialog(parent), packet_(packet) {
    setObjectName(QStringLiteral("ScanDialog"));
    setWindowTitle(tr("Scan Pages"));

    const auto combo = [this](const char* name, const QString& spoken) {
        auto* box = new QComboBox(this);
        box->setObjectName(QLatin1String(name));
        box->setAccessibleName(spoken);
        return box;
    };
    device_ = combo("ScannerBox", tr("Scanner"));
    device_->setMinimumContentsLength(28);
    device_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    mode_ = combo("ModeBox", tr("Mode"));
    mode_->addItem(tr("Black and white"), int(ScanMode::BlackAndWhite));
    mode_->addItem(tr("Grey"), int(ScanMode::Grey));
    resolution_ = combo("ResolutionBox", tr("Resolution"));
    for (const int dpi : {100, 200, 300, 400}) resolution_->addItem(tr("%1 dpi").arg(dpi), dpi);
    resolution_->setCurrentIndex(1);
    source_ = combo("SourceBox", tr("Source"));
    source_->addItem(tr("Flatbed"), int(ScanSource::Flatbed));
    source_->addItem(tr("Feeder"), int(ScanSource::Feeder));

    auto* form = new QFormLayout;
    form->addRow(tr("S&canner:"), device_);
    form->addRow(tr("&Mode:"), mode_);
    form->addRow(tr("&Resolution:"), resolution_);
    form->addRow(tr("S&ource:"), source_);

    thumbnails_ = new QListWidget(this);
    thumbnails_->setObjectName(QStringLiteral("ScannedPages"));
    thumbnails_->setAccessibleName(tr("Scanned pages"));
    thumbnails_->setViewMode(QListView::IconMode);
    thumbnails_->setFlow(QListView::LeftToRight);
    thumbnails_->setWrapping(true);
    thumbnails_->setResizeMode(QListView::Adjust);
    thumbnails_->setMovement(QListView::Static);
    thumbnails_->setIconSize(QSize(kThumbnailHeight * 3 / 4, kThumbnailHeight));
    thumbnails_->setMinimumSize(460, 2 * kThumbnailHeight);

    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("ScanStatus"));
    status_->setAccessibleName(tr("Scan status"));
    status_->setWordWrap(true);
    status_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    status_->setFocusPolicy(Qt::TabFocus);

    const auto button = [this](const QString& caption, const char* name) {
        auto* pushButton = new QPushButton(caption, this);
        pushButton->setObjectName(QLatin1String(name));
        pushButton->setAutoDefault(false);
        return pushButton;
    };
    scan_ = button(tr("&Scan"), "ScanButton");
    scan_->setDefault(true);
    cancel_ = button(tr("Cancel"), "CancelScanButton");
    cancel_->setToolTip(tr("Stop the scan (Esc)"));
    attach_ = button(tr("&Attach to Fax"), "AttachScanButton");
    close_ = button(tr("Close"), "CloseButton");
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(scan_, QDialogButtonBox::ActionRole);
    buttons->addButton(cancel_, QDialogButtonBox::ActionRole);
    buttons->addButton(attach_, QDialogButtonBox::AcceptRole);
    buttons->addButton(close_, QDialogButtonBox::RejectRole);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(thumbnails_, 1);
    layout->addWidget(status_);
    layout->addWidget(buttons);

    connect(scan_, &QPushButton::clicked, this, &ScanDialog::startScan);
    connect(cancel_, &QPushButton::clicked, &scanner_, &Scanner::cancel);
    connect(attach_, &QPushButton::clicked, this, &ScanDialog::attachPages);
    connect(close_, &QPushButton::clicked, this, &QDialog::reject);
    connect(&scanner_, &Scanner::pageScanned, this, &ScanDialog::showPage);
    connect(&packet_, &FaxPacket::attachingChanged, this, &ScanDialog::updateActions);
    connect(device_, &QComboBox::currentIndexChanged, this, &ScanDialog::updateActions);

    status_->setText(tr("Looking for scanners\u2026"));
    scanner_.listDevices([this](const std::vector<ScannerDevice>& devices, const QString& problem) {
        listed(devices, problem);
    });
    updateActions();
}

ScanDialog::~ScanDialog() = default;

void ScanDialog::reject() {
    if (scanner_.scanning())
        scanner_.cancel();
    else
        QDialog::reject();
}

void ScanDialog::listed(const std::vector<ScannerDevice>& devices, const QString& problem) {
    listing_ = false;
    const QString last = GetSetting(QLatin1String(kScannerKey));
    for (const ScannerDevice& device : devices) {
        device_->addItem(device.label, device.name);
        device_->setItemData(device_->count() - 1, device.name, Qt::ToolTipRole);
    }
    if (const int at = device_->findData(last); at >= 0) device_->setCurrentIndex(at);
    if (devices.empty())
        status_->setText(problem.isEmpty()
                             ? Scanner::NoScannerMessage()
                             : problem + QLatin1Char('\n') + Scanner::NoScannerMessage());
    else
        status_->setText(tr("Put the pages in the scanner and choose Scan."));
    updateActions();
    emit scannersListed();
}

void ScanDialog::startScan() {
    if (scanner_.scanning() || device_->currentIndex() < 0) return;
    ScanSettings settings;
    settings.device = device_->currentData().toString();
    settings.mode = ScanMode(mode_->currentData().toInt());
    settings.resolution = resolution_->currentData().toInt();
    settings.source = ScanSource(source_->currentData().toInt());
    SaveSetting(QLatin1String(kScannerKey), settings.device);
    scanFirst_ = int(pages_.size());
    status_->setText(tr("Scanning\u2026"));
    scanner_.scan(settings, [this](std::exception_ptr failure) { scanDone(failure); });
    updateActions();
    cancel_->setFocus();
}

void ScanDialog::showPage(const ScannedPage& page) {
    pages_.push_back(page.image);
    const QImage thumbnail =
        page.image.scaled(thumbnails_->iconSize(), Qt::KeepAspectRatio, Qt::SmoothTransformation);
    const int number = int(pages_.size());
    auto* item = new QListWidgetItem(QIcon(QPixmap::fromImage(thumbnail)),
                                     tr("Page %1").arg(number), thumbnails_);
    item->setData(Qt::AccessibleTextRole, tr("Scanned page %1").arg(number));
    thumbnails_->scrollToItem(item);
    status_->setText(tr("Page %1 scanned").arg(page.number));
    updateActions();
    emit pageShown(page);
}

void ScanDialog::scanDone(std::exception_ptr failure) {
    const int scanned = int(pages_.size()) - scanFirst_;
    try {
        if (failure) std::rethrow_exception(failure);
        status_->setText(scanned == 1 ? tr("1 page scanned. Attach the pages to the fax, or scan "
                                           "more.")
                                      : tr("%1 pages scanned. Attach the pages to the fax, or "
                                           "scan more.")
                                            .arg(scanned));
    } catch (const JobGivenUp&) {
        // Nothing of a scan given up stays.
        pages_.resize(size_t(scanFirst_));
        while (thumbnails_->count() > scanFirst_) delete thumbnails_->takeItem(scanFirst_);
        status_->setText(tr("Scan cancelled."));
    } catch (const std::exception& problem) {
        // The pages that came before the failure stay (a feeder's jam after some pages).
        status_->setText(QString::fromUtf8(problem.what()));
    }
    updateActions();
    if (attach_->isEnabled())
        attach_->setFocus();
    else
        scan_->setFocus();
    emit scanEnded();
}

void ScanDialog::attachPages() {
    if (pages_.empty() || scanner_.scanning()) return;
    packet_.attachPages(std::exchange(pages_, {}));
    thumbnails_->clear();
    accept();
}

void ScanDialog::updateActions() {
    const bool scanning = scanner_.scanning();
    const bool idle = !scanning && !listing_;
    for (QWidget* choice : {static_cast<QWidget*>(device_), static_cast<QWidget*>(mode_),
                            static_cast<QWidget*>(resolution_), static_cast<QWidget*>(source_)})
        choice->setEnabled(idle);
    scan_->setEnabled(idle && device_->currentIndex() >= 0);
    cancel_->setEnabled(scanning);
    attach_->setEnabled(idle && !pages_.empty() && !packet_.attaching());
    attach_->setText(pages_.size() > 1 ? tr("&Attach %1 Pages to Fax").arg(pages_.size())
                                       : tr("&Attach to Fax"));
}

}  // namespace velmora
