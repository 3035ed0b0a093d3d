#pragma once

#include "fax/server/SentFax.h"
#include "shell/JobWorker.h"
#include "shell/ui/WindowChrome.h"

#include <QPointer>
#include <QString>
#include <QWidget>

class QAction;
class QLabel;
class QScrollArea;

namespace velmora {

class Job;
class PageView;

// A fax, page by page: the one sent (the record's kept copy, a PDF), or one received (a PDF made
// of its TIFF). Read only, with zoom and page keys, in normal view (the page as drawn, smoothed)
// or fax view (the fax's own dots, as the receiving machine prints them). Each page is drawn on
// a worker of the window's own at the zoom shown; a page asked for gives up the one being drawn.
class FaxViewer : public QWidget {
    Q_OBJECT
public:
    explicit FaxViewer(const SentFax& fax, QWidget* parent = nullptr);
    // The fax in `pdf`, under `title` ("Fax from Acme Legal"); `description` for assistive
    // technology.
    FaxViewer(const QString& pdf, const QString& title, const QString& description,
              QWidget* parent = nullptr);
    ~FaxViewer() override;

    // The page shown, from 0, and how many the fax has (0 until the file was read).
    int pageIndex() const { return pageIndex_; }
    int pageCount() const { return pageCount_; }
    int zoomPercent() const { return zoom_; }
    void goToPage(int index);
    void setZoom(int percent);
    bool faxView() const { return faxView_; }
    void setFaxView(bool on);
    const PageView& page() const { return *page_; }

signals:
    // A page was drawn and shown (or could not be: the status bar says why).
    void pageShown();

private:
    void build(const QString& accessibleName, const QString& description, const QString& title);
    void draw();
    void updateActions();

    const QString pdf_;
    JobWorker worker_;
    WindowChrome chrome_;
    QScrollArea* scroll_ = nullptr;
    PageView* page_ = nullptr;
    QLabel* pageStatus_ = nullptr;
    QPointer<Job> drawJob_;
    int request_ = 0;
    int pageIndex_ = 0;
    int pageCount_ = 0;
    int zoom_ = 100;
    bool faxView_ = false;
    QString pageWords_;  // how a page is named for assistive technology
    QAction* faxViewAction_ = nullptr;
    QAction* zoomIn_ = nullptr;
    QAction* zoomOut_ = nullptr;
    QAction* next_ = nullptr;
    QAction* previous_ = nullptr;
    QAction* first_ = nullptr;
    QAction* last_ = nullptr;
};

}  // namespace velmora
