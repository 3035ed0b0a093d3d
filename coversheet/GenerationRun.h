#pragma once

#include "CoverSheet.h"

#include <QDate>
#include <QImage>
#include <QObject>
#include <QPointer>
#include <QString>
#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

namespace velmora {

class Job;
class NewFile;
class Procedure;
class WordConnection;

// What the generation run needs of the window it runs for: the field values, the pointer
// and the windows' turn (the preview shown, the editor hidden). Called on the window's thread
// only.
class GenerationHost {
public:
    virtual ~GenerationHost() = default;

    virtual int selectedTab() const = 0;
    // A field's value, read from the member the run reads (the highest-numbered one).
    virtual QString fieldText(const coversheet::CoverSheetField& field) const = 0;
    virtual QDate fieldDate(const coversheet::CoverSheetField& field) const = 0;
    virtual int fieldTick(const coversheet::CoverSheetField& field) const = 0;

    virtual void setBusyPointer(bool busy) = 0;

    virtual void showPreview() = 0;
    virtual void hideEditor() = 0;
};

// Where a run's cover goes: the packet it leads (fax/FaxPacket). Called on the window's thread
// only.
class CoverReceiver {
public:
    virtual ~CoverReceiver() = default;
    // The pages of the documents sent behind the cover, which its page count includes.
    virtual int attachedPages() const = 0;
    // The cover's first page as the office pictured it; throws Failure for a null picture.
    virtual void setCoverPicture(const QImage& page) = 0;
    // The cover's document, in the temporary folder; empty when none was saved.
    virtual void setCoverDocument(const QString& documentPath) = 0;
};

// The values one run writes, taken from the window when the run is accepted: the selected
// tab and every field as the run reads it. Whatever the user does while the office works,
// the document gets these. A value that could not be read keeps its failure, which the step
// that uses the value reports.
class RunValues {
public:
    static RunValues TakeFrom(const GenerationHost& host, int attachedPages);

    int tab() const { return tab_.get(); }
    QString text(const char* field) const { return at(texts_, field).get(); }
    QDate date(const char* field) const { return at(dates_, field).get(); }
    bool ticked(const char* field) const { return at(ticks_, field).get() != 0; }
    int attachedPages() const { return attachedPages_; }
    void setAttachedPages(int pages) { attachedPages_ = pages; }
    // The same values with text field `field` reading `value` (another recipient's cover).
    RunValues withText(const char* field, const QString& value) const;

private:
    template <class T>
    struct Taken {
        T value{};
        std::exception_ptr failure;
        const T& get() const {
            if (failure) std::rethrow_exception(failure);
            return value;
        }
    };
    template <class T>
    static const Taken<T>& at(const std::map<std::string, Taken<T>>& values, const char* field);
    template <class T, class Read>
    static Taken<T> take(Read&& read);

    Taken<int> tab_;
    int attachedPages_ = 0;
    std::map<std::string, Taken<QString>> texts_;
    std::map<std::string, Taken<QDate>> dates_;
    std::map<std::string, Taken<int>> ticks_;
};

// "Start Creating Template": fills the selected style's template with the fields, saves it
// as a uniquely named document in the temporary folder, makes its picture and hands both
// to the preview. Every step is numbered and reports its own failure; a run always ends by
// clearing its busy flag.
//
// The steps that wait on the office run as one job on the office worker (OfficeJobs) with the
// values taken at the click; the hand-over to the preview follows on the window's thread when
// the job has ended.
class GenerationRun : public QObject {
    Q_OBJECT
public:
    using DigitSource = std::function<int()>;  // a digit from 1 to 9; called on the worker

    GenerationRun(GenerationHost& host, CoverReceiver& receiver, DigitSource drawDigit = {});
    ~GenerationRun() override;

    // PushButton6_Click. A call while a run is under way does nothing.
    void run();
    // The last run's cover again, from the values of its click, for the pages attached now.
    // Does nothing while a run is under way or before the first.
    void renew();
    bool busy() const { return busy_; }
    // Gives up the run under way (Stop): its offices are ended, its remaining steps stop
    // quietly, what it made goes and the windows stay as they are.
    void cancel();
    // The values of the last run's click; null before the first.
    const RunValues* lastValues() const { return last_ ? &*last_ : nullptr; }

    // The template the run under way wrote (or the last run), in the temporary folder; empty
    // before the first.
    static QString TemplatePath();

signals:
    void busyChanged(bool busy);
    // The run reached its last step.
    void finished();

private:
    struct Steps;
    void start(Procedure& proc, RunValues values);
    static void officeSteps(Steps& run);  // on the worker: nothing of the window's
    void handOver(Steps& run);
    void setBusy(bool busy);

    GenerationHost& host_;
    CoverReceiver& receiver_;
    DigitSource drawDigit_;
    QPointer<Job> job_;  // the office work of the run under way
    bool busy_ = false;
    std::optional<RunValues> last_;  // the values of the last run's click
};

// Covers made for other values than a click's (a cover for each of several recipients), one
// after another through one office of the pool: each filled as the run fills it and written
// straight to a PDF, without a Word file or a picture. On the worker; every failure throws
// (Failure, with the office's words), and giving the job up ends the office.
class CoverWriter {
public:
    CoverWriter();
    ~CoverWriter();
    CoverWriter(const CoverWriter&) = delete;
    CoverWriter& operator=(const CoverWriter&) = delete;

    // The cover of `values` (its style's template, its page count with the attached pages) as
    // the PDF `pdf`, which the office replaces whole.
    void write(const RunValues& values, const QString& pdf);

private:
    std::unique_ptr<WordConnection> word_;
    std::unique_ptr<NewFile> template_;  // the style's template, written once per style
    int templateTab_ = -1;
};

}  // namespace velmora
