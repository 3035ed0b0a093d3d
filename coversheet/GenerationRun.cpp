#include "GenerationRun.h"

#include "DateWording.h"
#include "OfficeJobs.h"
#include "PageSnapshot.h"
#include "WordEngine.h"
#include "shell/AtomicFile.h"
#include "shell/FileProcedures.h"
#include "shell/Locations.h"
#include "shell/Procedure.h"
#include "shell/ProgramEnding.h"
#include "shell/RunRecord.h"
#include "shell/TempFolder.h"

#include <QRandomGenerator>
#include <memory>
#include <mutex>

namespace velmora {

using namespace coversheet;

namespace {

bool styleFills(int tab, const char* bookmark) {
    return tab >= 0 && tab < kTabCount && BookmarkNamed(bookmark).filledOnTab[tab];
}

// The template of the run under way, or of the last one; written on the worker.
std::mutex templateMutex;
QString& runTemplate() {
    static QString path;
    return path;
}

// Writes `values` into the bookmarks of the document open in `word`, as the run's steps 130 to
// 184 do: the date and the street as worded for the sheet, a tick as "V", the fields of a
// style's groups only where the style has them. `proc` runs each step: the run's own Procedure,
// or ThrowingSteps.
template <class Steps>
void WriteBookmarks(Steps& proc, const std::unique_ptr<WordConnection>& word,
                    const RunValues& values) {
    const auto text = [&](const char* field) { return values.text(field); };
    const auto date = [&] { return values.date("dtpDate"); };

    QString dayText, dateText, streetText;
    proc.step(130, [&] { dayText = DayText(date()); });
    proc.step(132, [&] { dateText = DateText(date()); });
    proc.step(134, [&] { streetText = QLatin1Char(' ') + text("txtLocation"); });

    const auto valueOf = [&](const Bookmark& bookmark) {
        switch (bookmark.form) {
            case Written::Date:
                return dateText;
            case Written::Street:
                return streetText;
            case Written::Tick:
                return QStringLiteral("V");
            case Written::Text:
                break;
        }
        return text(bookmark.field);
    };
    // The bookmarks in the table's order, each at its own step. Those that not every style
    // has come in groups, each asked about once, at the step before its first write.
    int askedAt = 0;
    bool groupWritten = true;  // Asked::ForGroup: the group's test said so, or failed
    int askedTab = -1;         // Asked::ByTab: the tab read
    for (const Bookmark& bookmark : Bookmarks()) {
        if (bookmark.asked != Asked::Never && bookmark.askedAt != askedAt) {
            askedAt = bookmark.askedAt;
            if (bookmark.asked == Asked::ForGroup) {
                groupWritten = proc.test(
                    askedAt, [&] { return styleFills(values.tab(), bookmark.name); }, true);
            } else {
                askedTab = -1;
                proc.step(askedAt, [&] { askedTab = values.tab(); });
            }
        }
        if (bookmark.asked == Asked::ForGroup && !groupWritten) continue;
        if (bookmark.asked == Asked::ByTab && !styleFills(askedTab, bookmark.name)) continue;
        if (bookmark.form == Written::Tick &&
            !proc.test(
                bookmark.step, [&] { return values.ticked(bookmark.field); }, true))
            continue;
        proc.step(bookmark.step, [&] {
            Use(word).setBookmarkText(QLatin1String(bookmark.name), valueOf(bookmark));
        });
    }
}

// Steps that stop at the first failure, which goes to the caller: a cover made for other
// values than the click's (CoverWriter) fails whole.
struct ThrowingSteps {
    template <class Action>
    bool step(int, Action&& action) {
        std::forward<Action>(action)();
        return true;
    }
    template <class Test>
    bool test(int, Test&& decide, bool) {
        return std::forward<Test>(decide)();
    }
};

}  // namespace

template <class T, class Read>
RunValues::Taken<T> RunValues::take(Read&& read) {
    Taken<T> taken;
    try {
        taken.value = read();
    } catch (...) {
        taken.failure = std::current_exception();
    }
    return taken;
}

template <class T>
const RunValues::Taken<T>& RunValues::at(const std::map<std::string, Taken<T>>& values,
                                         const char* field) {
    const auto found = values.find(field);
    if (found == values.end()) throw std::out_of_range(std::string("no field ") + field);
    return found->second;
}

RunValues RunValues::TakeFrom(const GenerationHost& host, int attachedPages) {
    RunValues values;
    values.tab_ = take<int>([&] { return host.selectedTab(); });
    values.attachedPages_ = attachedPages;
    for (const CoverSheetField& field : Fields()) {
        switch (field.kind) {
            case FieldKind::Text:
            case FieldKind::MultiLineText:
                values.texts_[field.name] = take<QString>([&] { return host.fieldText(field); });
                break;
            case FieldKind::Date:
                values.dates_[field.name] = take<QDate>([&] { return host.fieldDate(field); });
                break;
            case FieldKind::Tick:
                values.ticks_[field.name] = take<int>([&] { return host.fieldTick(field); });
                break;
        }
    }
    return values;
}

RunValues RunValues::withText(const char* field, const QString& value) const {
    RunValues changed = *this;
    changed.texts_[field] = Taken<QString>{value, {}};
    return changed;
}

// One run's state, shared by its steps on the worker and on the window's thread (never at
// the same time).
struct GenerationRun::Steps {
    Steps(RunValues taken, DigitSource digits)
        : proc(location::Form1_PushButton6_Click),
          values(std::move(taken)),
          drawDigit(std::move(digits)) {
        // Closing the program or a signal during the office work ends the offices; what the
        // run had still to do is not done.
        proc.endWithTheProgram();
    }

    Procedure proc;
    const RunValues values;
    // The run's own copy: the window, and this object with it, may be gone before the
    // worker has ended the job (the program closed during the run).
    const DigitSource drawDigit;
    bool saved = false;
    bool stopped = false;  // ended early, the editor staying as it is
    bool givenUp = false;  // the user stopped the office work
    QString documentPath;
    QImage page;
};

GenerationRun::GenerationRun(GenerationHost& host, CoverReceiver& receiver, DigitSource drawDigit)
    : host_(host), receiver_(receiver), drawDigit_(std::move(drawDigit)) {
    if (!drawDigit_) drawDigit_ = [] { return int(QRandomGenerator::global()->bounded(1, 10)); };
}

GenerationRun::~GenerationRun() = default;

QString GenerationRun::TemplatePath() {
    const std::lock_guard lock(templateMutex);
    return runTemplate();
}

void GenerationRun::setBusy(bool busy) {
    if (busy_ == busy) return;
    busy_ = busy;
    emit busyChanged(busy);
}

void GenerationRun::run() {
    Procedure proc(location::Form1_PushButton6_Click);
    if (proc.test(
            100, [&] { return busy_; }, false))
        return;
    // Everything the document gets is taken now; the office work reads only this.
    start(proc, RunValues::TakeFrom(host_, receiver_.attachedPages()));
}

void GenerationRun::cancel() {
    if (job_) job_->cancel();
}

void GenerationRun::renew() {
    Procedure proc(location::Form1_PushButton6_Click);
    if (busy_ || !last_) return;
    RunValues values = *last_;
    values.setAttachedPages(receiver_.attachedPages());
    start(proc, std::move(values));
}

void GenerationRun::start(Procedure& proc, RunValues values) {
    proc.step(102, [&] { setBusy(true); });
    proc.step(104, [&] { host_.setBusyPointer(true); });
    last_ = values;
    const auto steps = std::make_shared<Steps>(std::move(values), drawDigit_);
    job_ = OfficeJobs::shared().post(
        this, [steps] { officeSteps(*steps); },
        [this, steps](std::exception_ptr) { handOver(*steps); });
}

void GenerationRun::officeSteps(Steps& run) {
    Procedure& proc = run.proc;
    const RunValues& values = run.values;

    std::unique_ptr<WordConnection> word;
    proc.step(106, [&] { word = CreateWordApplication(); });

    QByteArray templateBytes;
    int tab = -1;
    if (proc.step(108, [&] { tab = values.tab(); }) && tab >= 0 && tab < kTabCount) {
        proc.step(110 + 4 * tab, [&] { templateBytes = LoadResData(StyleOfTab(tab).resourceId); });
    }
    // Written afresh on every run under a name of its own, made exclusively: whatever stands
    // in the temporary folder (a file of an interrupted run, another user's file or link) is
    // never opened. Without it the run has nothing to fill, and stops here.
    const bool written = proc.step(124, [&] {
        const QString path = NewFile::WriteOfItsOwn(TempFolder(), QStringLiteral("template"),
                                                    QStringLiteral(".dot"), templateBytes);
        const std::lock_guard lock(templateMutex);
        runTemplate() = path;
    });
    if (!written) {
        run.stopped = true;
        try {
            if (word) word->quit();
        } catch (...) {
        }
        return;
    }
    QString templatePath;
    proc.step(126, [&] { templatePath = TemplatePath(); });
    proc.step(128, [&] { Use(word).documentsOpen(templatePath, true); });

    WriteBookmarks(proc, word, values);

    proc.step(186, [&] {
        Use(word).fieldsUpdate();
        // The sheet counts the pages of the whole packet.
        if (values.attachedPages() > 0) Use(word).addToPageCount(values.attachedPages());
    });

    QString documentName;
    do {
        proc.step(188, [&] { documentName = QStringLiteral("quillon"); });
        for (int i = 1; i <= 8; ++i) {
            int digit = 0;
            proc.step(194, [&] { digit = run.drawDigit(); });
            proc.step(196, [&] { documentName += QString::number(digit); });
        }
        proc.step(200, [&] { run.documentPath = TempPath(documentName + QStringLiteral(".doc")); });
    } while (proc.test(
        202, [&] { return FileExists(run.documentPath); }, false));

    run.saved = proc.step(204, [&] { Use(word).saveAs(run.documentPath); });
    // The office made the file; noted so that it goes should the program end without the
    // preview's own tidying.
    NoteCreatedFile(run.documentPath);
    proc.step(206, [&] { Use(word).setDisplayAlerts(false); });
    proc.step(208, [&] { Use(word).close(); });
    proc.step(210, [&] { Use(word).quit(); });
    proc.step(212, [&] { word.reset(); });

    // The page shown is the one this run's snapshot made, as the office handed it over;
    // temp.bmp, written beside it, may have been replaced by another run in the same folder.
    proc.step(216, [&] { run.page = SaveDocAsJPG(run.documentPath); });
    run.givenUp = WorkGivenUp();
}

void GenerationRun::handOver(Steps& run) {
    Procedure& proc = run.proc;
    proc.step(218, [&] { host_.setBusyPointer(false); });
    if (run.givenUp) {
        // Given up: whatever the run made goes, and the editor stays as it is.
        if (run.saved) RemoveFileQuietly(run.documentPath);
        RemoveFileQuietly(SnapshotPath());
        RemoveFileQuietly(TemplatePath());
        run.stopped = true;
    }
    if (run.stopped) {
        proc.step(232, [&] { setBusy(false); });
        emit finished();
        return;
    }
    proc.step(220, [&] { receiver_.setCoverPicture(run.page); });
    // A document that was not saved is no document: the packet gets none to save or delete.
    proc.step(222, [&] { receiver_.setCoverDocument(run.saved ? run.documentPath : QString()); });
    proc.step(224, [&] { host_.showPreview(); });
    proc.step(226, [&] { host_.hideEditor(); });
    proc.step(228, [&] { RemoveFileQuietly(SnapshotPath()); });
    proc.step(230, [&] { RemoveFileQuietly(TemplatePath()); });
    proc.step(232, [&] { setBusy(false); });
    emit finished();
}

CoverWriter::CoverWriter() : word_(CreateWordApplication()) {}

CoverWriter::~CoverWriter() {
    try {
        if (word_) word_->quit();
    } catch (...) {
        // Ended with the object all the same.
    }
}

void CoverWriter::write(const RunValues& values, const QString& pdf) {
    WordConnection& word = Use(word_);
    const int tab = values.tab();
    if (tab != templateTab_) {
        template_.reset();
        template_ = std::make_unique<NewFile>(TempFolder(), QStringLiteral("template"),
                                              QStringLiteral(".dot"));
        template_->write(LoadResData(StyleOfTab(tab).resourceId));
        template_->close();
        templateTab_ = tab;
    }
    word.documentsOpen(template_->path(), true);
    try {
        ThrowingSteps steps;
        WriteBookmarks(steps, word_, values);
        word.fieldsUpdate();
        if (values.attachedPages() > 0) word.addToPageCount(values.attachedPages());
        word.exportAsPdf(pdf);
    } catch (...) {
        try {
            word.closeWithoutSaving();
        } catch (...) {
        }
        throw;
    }
    word.closeWithoutSaving();
}

}  // namespace velmora
