#pragma once

#include "TestSupport.h"
#include "editor/Form1.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QSettings>
#include <QTest>
#include <memory>

namespace velmora::test {

// An editor window as the program opens it, without the office check and without ever
// opening a browser; a fresh settings store for every test.
class EditorTest : public ::testing::Test {
protected:
    void SetUp() override {
        QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Brindlework"))
            .clear();
        programFolder_ = TestFolder() + QStringLiteral("/program");
        QDir(programFolder_).removeRecursively();
        QDir().mkpath(programFolder_);
    }

    EditorEnvironment environment() {
        return {.checkOffice = [this] { return officeThere_; },
                .drawVisitNumber = [this] { return visitNumber_; },
                .openUrl = [this](const QUrl& url) { opened_.push_back(url); },
                .programFolder = programFolder_};
    }

    // Creates the window, runs its start-up and shows it.
    Form1& openEditor() {
        editor_.reset();
        editor_ = std::make_unique<Form1>(environment());
        loaded_ = editor_->Form_Load();
        editor_->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(editor_.get()));
        return *editor_;
    }

    template <class W = QWidget>
    W* control(const QString& name) const {
        auto* found = editor_->findChild<W*>(name);
        EXPECT_NE(found, nullptr) << name;
        return found;
    }

    MessageRecorder messages_;
    QString programFolder_;
    bool officeThere_ = true;
    int visitNumber_ = 1;
    std::vector<QUrl> opened_;
    std::unique_ptr<Form1> editor_;
    bool loaded_ = false;
};

}  // namespace velmora::test
