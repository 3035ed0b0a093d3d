// The outbox window with real widgets over a real outbox and record of faxes sent (in a private
// folder). No fax server answers: every server named is a port on 127.0.0.1 where nothing
// listens, so the record's states are the ones the test set.
#include "PdfReaders.h"
#include "TestSupport.h"
#include "fax/server/FaxOutbox.h"
#include "fax/server/SentFaxes.h"
#include "preview/FaxViewer.h"
#include "preview/OutboxTable.h"
#include "preview/OutboxWindow.h"
#include "preview/PageView.h"
#include "preview/SendFaxDialog.h"

#include <gtest/gtest.h>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTableView>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

namespace velmora {
namespace {

class OutboxWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        test::WriteTextPdf(path("fax.pdf"), {"First page of the fax", "Second page of the fax"});
        // A port nothing listens on: every poll and command fails at once, as with a server that
        // is down.
        QTcpServer probe;
        ASSERT_TRUE(probe.listen(QHostAddress::LocalHost));
        server = *FaxServerAddress::parse(QStringLiteral("127.0.0.1:%1").arg(probe.serverPort()),
                                          QStringLiteral("tester"));
        probe.close();
        // The window watches the server last used: this one, never the machine's own.
        RememberFaxServer(server);
    }

    QString path(const QString& name) const { return folder.filePath(name); }

    // Records a fax to `recipient`, handed over `minutesAgo`, as the server last told it.
    SentFax add(const QString& recipient, const QString& jobId, FaxJobState state, int minutesAgo) {
        SentFax fax;
        fax.server = server.text();
        fax.user = server.user;
        fax.jobId = jobId;
        fax.recipient = recipient;
        fax.number = QStringLiteral("555 01") + jobId;
        fax.submitted = QDateTime::currentDateTimeUtc().addSecs(-60 * minutesAgo);
        fax.pagesTotal = 2;
        fax.id = record.add(fax, path("fax.pdf"));
        setState(fax, state);
        return fax;
    }
    void setState(SentFax& fax, FaxJobState state) {
        fax.state = state;
        fax.tries = state == FaxJobState::Pending ? 0 : 1;
        fax.pagesSent = state == FaxJobState::Done ? 2 : 0;
        fax.status =
            state == FaxJobState::Failed ? QStringLiteral("No answer from remote") : QString();
        if (FaxJobEnded(state)) fax.finished = QDateTime::currentDateTimeUtc();
        record.updateState(fax);
    }

    // Polls until the window lists `rows` faxes.
    void waitForRows(const OutboxWindow& window, int rows) {
        outbox.refresh();
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                if (!outbox.polling()) outbox.refresh();
                return window.table().rowCount() == rows;
            },
            10'000))
            << window.table().rowCount();
    }
    static int rowOf(const OutboxWindow& window, qint64 id) {
        for (int row = 0; row < window.table().rowCount(); ++row)
            if (window.table().fax(row)->id == id) return row;
        return -1;
    }
    static void select(OutboxWindow& window, qint64 id) {
        window.view().selectRow(rowOf(window, id));
        ASSERT_TRUE(window.selected());
        ASSERT_EQ(window.selected()->id, id);
    }
    static QString cell(const OutboxWindow& window, qint64 id, int column) {
        const OutboxTable& table = window.table();
        return table.index(rowOf(window, id), column).data().toString();
    }
    // The commands enabled now, by name.
    static QStringList enabled(const OutboxWindow& window) {
        QStringList names;
        for (int which = 0; which < OutboxWindow::CommandCount; ++which)
            if (QAction* command = window.command(OutboxWindow::Command(which));
                command->isEnabled())
                names << command->text();
        return names;
    }

    QTemporaryDir folder{test::TestFolder() + QStringLiteral("/outbox-XXXXXX")};
    FaxServerAddress server;
    SentFaxes record{path("record")};
    FaxOutbox outbox{record};
    ScopedFaxOutbox useIt{outbox};
};

// A refresh in which a fax's state changes and a fax is added changes those rows alone: the row
// the user chose stays chosen and current, and the model is never reset. The window is the one of
// the program: opening it again raises it. The server's problem shows above the table while the
// window watches it.
TEST_F(OutboxWindowTest, RefreshUpdatesRowsInPlace) {
    SentFax older = add(QStringLiteral("Martin Hale"), QStringLiteral("11"), FaxJobState::Done, 30);
    SentFax newer = add(QString(), QStringLiteral("12"), FaxJobState::Sleeping, 10);
    ShowOutbox(nullptr);
    QPointer<OutboxWindow> window = OutboxWindow::open();
    ASSERT_TRUE(window);
    ShowOutbox(nullptr);
    EXPECT_EQ(OutboxWindow::open(), window.data());
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Outbox \u2014 Velmora"));
    EXPECT_EQ(window->accessibleName(), QStringLiteral("Velmora outbox"));
    waitForRows(*window, 2);
    // Newest first; a fax without a name shows its number.
    EXPECT_EQ(window->table().fax(0)->id, newer.id);
    EXPECT_EQ(cell(*window, newer.id, OutboxTable::Recipient), newer.number);

    const auto* problem = window->findChild<QLabel*>(QStringLiteral("ServerProblem"));
    ASSERT_TRUE(problem);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !problem->isHidden(); }, 10'000));
    EXPECT_FALSE(problem->text().isEmpty());
    EXPECT_FALSE(problem->accessibleName().isEmpty());

    select(*window, newer.id);
    window->view().setCurrentIndex(window->table().index(rowOf(*window, newer.id), 2));
    QSignalSpy resets(&window->table(), &QAbstractItemModel::modelReset);
    QSignalSpy inserted(&window->table(), &QAbstractItemModel::rowsInserted);
    // The faxes whose rows were told they changed, as they were when told (a refresh may see the
    // state change before the fax added, and rows move down as that one comes in).
    std::vector<qint64> changedFaxes;
    QObject::connect(&window->table(), &QAbstractItemModel::dataChanged, window,
                     [&](const QModelIndex& from, const QModelIndex& to) {
                         for (int row = from.row(); row <= to.row(); ++row)
                             changedFaxes.push_back(window->table().fax(row)->id);
                     });

    setState(newer, FaxJobState::Failed);
    const SentFax newest =
        add(QStringLiteral("Ada Byron"), QStringLiteral("13"), FaxJobState::Pending, 1);
    waitForRows(*window, 3);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return cell(*window, newer.id, OutboxTable::State).startsWith("Failed"); }, 10'000));

    EXPECT_EQ(resets.count(), 0);
    ASSERT_EQ(inserted.count(), 1);
    EXPECT_EQ(inserted[0][1].toInt(), 0);  // the newest, at the top
    EXPECT_EQ(window->table().fax(0)->id, newest.id);
    // Only the changed fax's row was told it changed.
    for (const qint64 id : changedFaxes) EXPECT_EQ(id, newer.id);
    ASSERT_TRUE(window->selected());
    EXPECT_EQ(window->selected()->id, newer.id);
    EXPECT_EQ(window->view().currentIndex().row(), rowOf(*window, newer.id));
    EXPECT_EQ(window->view().currentIndex().column(), 2);
    // A failed row is marked beside its words.
    const QModelIndex state = window->table().index(rowOf(*window, newer.id), OutboxTable::State);
    EXPECT_EQ(state.data().toString(), QStringLiteral("Failed: No answer from remote"));
    EXPECT_FALSE(state.data(Qt::DecorationRole).isNull());
    EXPECT_FALSE(state.data(Qt::ForegroundRole).isNull());
    EXPECT_TRUE(window->table()
                    .index(rowOf(*window, older.id), OutboxTable::State)
                    .data(Qt::DecorationRole)
                    .isNull());

    // Removed from the record: its row goes, the others stay as they were.
    record.remove(older.id);
    waitForRows(*window, 2);
    EXPECT_EQ(resets.count(), 0);
    EXPECT_EQ(window->selected()->id, newer.id);

    window->close();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window; }, 5'000));
    EXPECT_EQ(OutboxWindow::open(), nullptr);
}

// The commands a fax allows, and none that would race a command under way, whose failure is
// told in a box.
TEST_F(OutboxWindowTest, CommandsFollowTheSelectedFax) {
    const SentFax sent = add(QStringLiteral("Sent"), QStringLiteral("21"), FaxJobState::Done, 40);
    const SentFax failed =
        add(QStringLiteral("Failed"), QStringLiteral("22"), FaxJobState::Failed, 30);
    const SentFax waiting =
        add(QStringLiteral("Waiting"), QStringLiteral("23"), FaxJobState::Pending, 20);
    const SentFax held =
        add(QStringLiteral("Held"), QStringLiteral("24"), FaxJobState::Suspended, 10);
    OutboxWindow window(outbox);
    waitForRows(window, 4);

    select(window, sent.id);
    EXPECT_EQ(enabled(window),
              QStringList({"Resend", "Show", "Save Confirmation\u2026", "Print Confirmation\u2026",
                           "Remove from List", "Refresh", "Close"}));
    select(window, failed.id);
    EXPECT_EQ(enabled(window),
              QStringList({"Resend", "Show", "Remove from List", "Refresh", "Close"}));
    select(window, held.id);
    EXPECT_EQ(enabled(window), QStringList({"Cancel Fax", "Release", "Resend", "Show",
                                            "Remove from List", "Refresh", "Close"}));
    select(window, waiting.id);
    EXPECT_EQ(enabled(window), QStringList({"Cancel Fax", "Hold", "Resend", "Show",
                                            "Remove from List", "Refresh", "Close"}));

    // Cancel asks first; the server cannot be reached, so the fax stays and the box says why.
    test::MessageRecorder boxes(MessageAnswer::Yes);
    window.command(OutboxWindow::Cancel)->trigger();
    ASSERT_EQ(boxes.all().size(), 1u);
    EXPECT_EQ(boxes.all()[0].text,
              QStringLiteral("Cancel the fax to Waiting? It will not be sent."));
    ASSERT_TRUE(window.job());
    EXPECT_EQ(enabled(window), QStringList({"Show", "Refresh", "Close"}));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window.job(); }, 10'000));
    ASSERT_EQ(boxes.all().size(), 2u);
    EXPECT_EQ(boxes.all()[1].icon, MessageIcon::Warning);
    EXPECT_FALSE(boxes.all()[1].text.isEmpty());
    EXPECT_TRUE(window.findChild<QStatusBar*>()->currentMessage().contains("not done"));
    EXPECT_TRUE(window.command(OutboxWindow::Cancel)->isEnabled());
    EXPECT_EQ(record.find(waiting.id)->state, FaxJobState::Pending);

    // Remove asks first; answered No, the fax stays.
    boxes.clear();
    boxes.setAnswer(MessageAnswer::No);
    window.command(OutboxWindow::Remove)->trigger();
    EXPECT_EQ(boxes.all().size(), 1u);
    EXPECT_FALSE(window.job());
    EXPECT_TRUE(record.find(waiting.id));
}

// Save Confirmation… proposes its file in the Documents folder and writes the transmission
// report there as a one-page PDF that names the job.
TEST_F(OutboxWindowTest, SavedConfirmationIsOnePagePdf) {
    const SentFax sent =
        add(QStringLiteral("Martin Hale"), QStringLiteral("4711"), FaxJobState::Done, 5);
    OutboxWindow window(outbox);
    waitForRows(window, 1);
    select(window, sent.id);
    SaveDialogRequest asked;
    const QString target = path("confirmation");  // the dialog adds no extension
    window.setSaveDialog([&](QWidget*, const SaveDialogRequest& request) {
        asked = request;
        return SaveDialogChoice{target, request.filter};
    });
    window.command(OutboxWindow::SaveConfirmation)->trigger();
    EXPECT_EQ(QFileInfo(asked.fileName).fileName(), QStringLiteral("Fax confirmation 4711.pdf"));
    // The documents folder, or the home folder where there is none.
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    EXPECT_EQ(QFileInfo(asked.fileName).absolutePath(),
              QFileInfo(documents).isDir() ? documents : QDir::homePath());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window.job(); }, 30'000));
    const QString pdf = target + QStringLiteral(".pdf");
    ASSERT_TRUE(QFileInfo::exists(pdf));
    EXPECT_EQ(test::PdfPages(pdf), 1);
    EXPECT_TRUE(test::PdfPageText(pdf, 1).contains(QStringLiteral("4711")));
    EXPECT_TRUE(window.findChild<QStatusBar*>()->currentMessage().contains(pdf));
}

// Show opens the kept copy, page by page, in a window of its own named after the recipient.
TEST_F(OutboxWindowTest, ShowDrawsTheFaxAsSent) {
    const SentFax sent =
        add(QStringLiteral("Martin Hale"), QStringLiteral("31"), FaxJobState::Done, 5);
    OutboxWindow window(outbox);
    waitForRows(window, 1);
    select(window, sent.id);
    window.command(OutboxWindow::Show)->trigger();
    FaxViewer* viewer = nullptr;
    for (QWidget* top : QApplication::topLevelWidgets())
        if (auto* found = qobject_cast<FaxViewer*>(top)) viewer = found;
    ASSERT_TRUE(viewer);
    viewer->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(viewer));
    EXPECT_EQ(viewer->windowTitle(),
              QStringLiteral("Martin Hale \u2014 Fax as sent \u2014 Velmora"));
    QSignalSpy shown(viewer, &FaxViewer::pageShown);
    ASSERT_TRUE(shown.wait(30'000));
    EXPECT_EQ(viewer->pageCount(), 2);
    EXPECT_TRUE(viewer->page().pageText().contains(QStringLiteral("First page")));
    QTest::keyClick(viewer, Qt::Key_PageDown, Qt::ControlModifier);
    ASSERT_TRUE(shown.wait(30'000));
    EXPECT_EQ(viewer->pageIndex(), 1);
    EXPECT_TRUE(viewer->page().pageText().contains(QStringLiteral("Second page")));
    const QSize atHundred = viewer->page().size();
    viewer->setZoom(200);
    ASSERT_TRUE(shown.wait(30'000));
    EXPECT_NEAR(viewer->page().width(), atHundred.width() * 2, 2);
}

}  // namespace
}  // namespace velmora
