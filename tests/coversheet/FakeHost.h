#pragma once

#include "coversheet/GenerationRun.h"
#include "shell/Failure.h"

#include <QImage>
#include <QMap>
#include <QSignalSpy>
#include <QStringList>
#include <chrono>

namespace velmora::test {

// The window side of a run and the packet it hands its cover to: field values by name, and a
// log of what the run did to them.
class FakeHost : public GenerationHost, public CoverReceiver {
public:
    int tab = coversheet::Professional;
    QMap<QString, QString> texts;
    QMap<QString, int> ticks;
    QDate date{2026, 12, 6};
    int attached = 0;  // pages behind the cover
    QStringList events;

    int selectedTab() const override { return tab; }
    QString fieldText(const coversheet::CoverSheetField& f) const override {
        return texts.value(QLatin1String(f.name));
    }
    QDate fieldDate(const coversheet::CoverSheetField&) const override { return date; }
    int attachedPages() const override { return attached; }
    int fieldTick(const coversheet::CoverSheetField& f) const override {
        return ticks.value(QLatin1String(f.name));
    }
    void setBusyPointer(bool busy) override { events << (busy ? "hourglass" : "arrow"); }
    QImage picture;  // the page the run handed over
    void setCoverPicture(const QImage& page) override {
        if (page.isNull()) throw Failure(QStringLiteral("Invalid picture"));
        picture = page;
        events << QStringLiteral("picture %1x%2").arg(page.width()).arg(page.height());
    }
    void setCoverDocument(const QString& path) override { events << "wordFile " + path; }
    void showPreview() override { events << "show preview"; }
    void hideEditor() override { events << "hide editor"; }
};

// The sheet of `tab` with the sample data and a value in every other field; "Urgent" and
// "Please Comment" ticked.
inline FakeHost SampleSheet(int tab) {
    FakeHost host;
    host.tab = tab;
    host.date = QDate(2026, 12, 6);
    host.texts = {{"txtFor", "Martin Hale"},
                  {"txtFaxFor", "555-014-2278"},
                  {"txtFrom", "Nora Quist"},
                  {"txtFaxFrom", "555-016-3391"},
                  {"txtSubj", "What's up man"},
                  {"txtMsg", "Did you eat that cheeseburger yet?\r\nSecond line of the note"},
                  {"txtCC", "Ida Brandt"},
                  {"txtPhone", "555-010-7788"},
                  {"txtPhoneFor", "555-010-4455"},
                  {"txtAddress", "4 Quay Lane, Porthallow"},
                  {"txtOrgName", "Brindle Harbour Supplies"},
                  {"txtLocation", "12 Harbour Row"},
                  {"txtCity", "Porthallow, PH 20114"},
                  {"txtWWW", "www.harbour.example"}};
    host.ticks = {{"CheckUrgent", 1}, {"CheckComm", 1}};
    return host;
}

// Clicks "Start Creating Template" and handles events until the run has reached its last step
// (the office work runs on the worker meanwhile). False when it did not within `bound`.
inline bool RunToEnd(GenerationRun& run,
                     std::chrono::milliseconds bound = std::chrono::minutes(10)) {
    QSignalSpy finished(&run, &GenerationRun::finished);
    run.run();
    return !run.busy() || finished.wait(int(bound.count()));
}
inline bool RunToEnd(FakeHost& host) {
    GenerationRun run(host, host);
    return RunToEnd(run);
}

}  // namespace velmora::test
