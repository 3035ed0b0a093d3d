#pragma once

#include "coversheet/GenerationRun.h"
#include "shell/Failure.h"

#include <QImage>
#include <QMap>
#include <QStringList>

namespace velmora::test {

// The window side of a run: field values by name, and a log of what the run did to it.
class FakeHost : public GenerationHost {
public:
    int tab = coversheet::Professional;
    QMap<QString, QString> texts;
    QMap<QString, int> ticks;
    QDate date{2026, 12, 6};
    QStringList events;

    int selectedTab() const override { return tab; }
    QString fieldText(const coversheet::CoverSheetField& f) const override {
        return texts.value(QLatin1String(f.name));
    }
    QDate fieldDate(const coversheet::CoverSheetField&) const override { return date; }
    int fieldTick(const coversheet::CoverSheetField& f) const override {
        return ticks.value(QLatin1String(f.name));
    }
    void setBusyPointer(bool busy) override { events << (busy ? "hourglass" : "arrow"); }
    void setPreviewPicture(const QString& file) override {
        const QImage picture(file);
        if (picture.isNull()) throw Failure(QStringLiteral("Invalid picture"));
        events << QStringLiteral("picture %1x%2").arg(picture.width()).arg(picture.height());
    }
    void setPreviewWordFile(const QString& path) override { events << "wordFile " + path; }
    void showPreview() override { events << "show preview"; }
    void hideEditor() override { events << "hide editor"; }
};

}  // namespace velmora::test
