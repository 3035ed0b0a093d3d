#pragma once

#include "scan/Scanner.h"

#include <QDialog>
#include <QImage>
#include <vector>

class QComboBox;
class QLabel;
class QListWidget;
class QPushButton;

namespace velmora {

class FaxPacket;

// "Scan Pages…": pages scanned from the flatbed one at a time or from the feeder all at once,
// each shown as it arrives; "Attach to Fax" puts them all behind the documents attached as
// one document ("Scan, 3 pages"). The scanner used last is chosen first (setting "Scanner").
// The scan runs on the scanner's worker; Cancel gives it up and drops its pages; closing the
// dialog drops every page not attached.
class ScanDialog : public QDialog {
    Q_OBJECT
public:
    ScanDialog(FaxPacket& packet, QWidget* parent);
    ~ScanDialog() override;

    Scanner& scanner() { return scanner_; }
    // The pages scanned and not attached yet.
    const std::vector<QImage>& pages() const { return pages_; }

signals:
    // The scanners were listed (none: the message says what to check).
    void scannersListed();
    // A page's thumbnail is in the list.
    void pageShown(const velmora::ScannedPage& page);
    // A scan ended (done, failed or cancelled).
    void scanEnded();

protected:
    // Esc during a scan gives the scan up; otherwise it closes.
    void reject() override;

private:
    void listed(const std::vector<ScannerDevice>& devices, const QString& problem);
    void startScan();
    void showPage(const ScannedPage& page);
    void scanDone(std::exception_ptr failure);
    void attachPages();
    void updateActions();

    FaxPacket& packet_;
    Scanner scanner_;
    std::vector<QImage> pages_;
    int scanFirst_ = 0;  // the first page of the scan under way
    bool listing_ = true;
    QComboBox* device_ = nullptr;
    QComboBox* mode_ = nullptr;
    QComboBox* resolution_ = nullptr;
    QComboBox* source_ = nullptr;
    QListWidget* thumbnails_ = nullptr;
    QLabel* status_ = nullptr;
    QPushButton* scan_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QPushButton* attach_ = nullptr;
    QPushButton* close_ = nullptr;
};

}  // namespace velmora
