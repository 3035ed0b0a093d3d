// The recipients window with real widgets over a real phone book in a folder of the test's, the
// real editor's sheet filled and read through it, and the company directory searched on an
// OpenLDAP server of the test's own.
#include "EditorFixture.h"
#include "PrivateDirectory.h"
#include "preview/RecipientTable.h"
#include "preview/RecipientsWindow.h"
#include "recipients/RecipientFiles.h"
#include "shell/SettingsStore.h"

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>

namespace velmora {
namespace {

class RecipientsWindowTest : public test::EditorTest {
protected:
    void SetUp() override {
        EditorTest::SetUp();
        ASSERT_TRUE(folder_.isValid());
        book_ = std::make_shared<PhoneBook>(folder_.filePath(QStringLiteral("book")));
    }

    qint64 add(const QString& name, const QString& company, const QString& fax,
               const QString& phone = {}, const QStringList& groups = {}) {
        Recipient entry;
        entry.name = name;
        entry.company = company;
        entry.fax = fax;
        entry.phone = phone;
        entry.groups = groups;
        return book_->add(entry);
    }

    RecipientsWindow& openWindow() {
        window_ = std::make_unique<RecipientsWindow>(book_);
        window_->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
        return *window_;
    }

    static QStringList listed(const RecipientTable& table) {
        QStringList names;
        for (const Recipient& entry : table.entries()) names << entry.name;
        return names;
    }
    QString selectedName() const {
        const Recipient* chosen = window_->selected();
        return chosen ? chosen->name : QStringLiteral("(none)");
    }
    void waitForChange() const {
        ASSERT_TRUE(QTest::qWaitFor([&] { return !window_->job(); }, 10'000));
    }
    QString status() const { return window_->findChild<QStatusBar*>()->currentMessage(); }

    QTemporaryDir folder_{test::TestFolder() + QStringLiteral("/recipients-XXXXXX")};
    std::shared_ptr<PhoneBook> book_;
    std::unique_ptr<RecipientsWindow> window_;
};

// Each keystroke narrows the list; the entry chosen stays chosen while it is found, else the
// first found is; the group narrows the search further, and digits find fax numbers.
TEST_F(RecipientsWindowTest, SearchAsYouTypeNarrowsTheListAndKeepsTheChoice) {
    add(QStringLiteral("Ann Lee"), QStringLiteral("Acme"), QStringLiteral("555-0100"), {},
        {QStringLiteral("Clients")});
    const qint64 anna = add(QStringLiteral("Anna Berg"), QStringLiteral("Berg & Co"),
                            QStringLiteral("555-0200"), QStringLiteral("555-0201"));
    add(QStringLiteral("Bob Stone"), QStringLiteral("Acme"), QStringLiteral("555-0300"), {},
        {QStringLiteral("Clients"), QStringLiteral("Suppliers")});
    add(QStringLiteral("Carl Ode"), QStringLiteral("Delta"), QStringLiteral("555-0400"));
    RecipientsWindow& window = openWindow();
    EXPECT_EQ(listed(window.table()).size(), 4);
    EXPECT_EQ(window.groupFilter().count(), 3);  // All, Clients, Suppliers
    if (const QByteArray shot = qgetenv("VELMORA_RECIPIENTS_SCREENSHOT"); !shot.isEmpty())
        window.grab().save(QString::fromLocal8Bit(shot));

    window.view().selectRow(window.table().rowOf(anna));
    QTest::keyClicks(&window.searchField(), QStringLiteral("an"));
    EXPECT_EQ(listed(window.table()), QStringList({"Ann Lee", "Anna Berg"}));
    EXPECT_EQ(selectedName(), "Anna Berg");

    window.searchField().clear();
    QTest::keyClicks(&window.searchField(), QStringLiteral("acme"));
    EXPECT_EQ(listed(window.table()), QStringList({"Ann Lee", "Bob Stone"}));
    EXPECT_EQ(selectedName(), "Ann Lee");
    QTest::keyClick(&window.searchField(), Qt::Key_Down);
    EXPECT_EQ(selectedName(), "Bob Stone");

    window.groupFilter().setCurrentText(QStringLiteral("Suppliers"));
    EXPECT_EQ(listed(window.table()), QStringList({"Bob Stone"}));
    window.searchField().setText(QStringLiteral("ann"));
    EXPECT_TRUE(listed(window.table()).isEmpty());
    EXPECT_FALSE(window.command(RecipientsWindow::Use)->isEnabled());

    window.groupFilter().setCurrentIndex(0);
    window.searchField().setText(QStringLiteral("0400"));
    EXPECT_EQ(listed(window.table()), QStringList({"Carl Ode"}));
}

// Enter in the search field puts the entry found on the sheet: For, Fax number and Phone on
// every tab that has them, stored as if typed. "Add from Sheet" starts from what the sheet says
// now, whichever tab it was typed on. The editor's key opens the window.
TEST_F(RecipientsWindowTest, UseFillsTheSheetOnEveryTabAndAddFromSheetReadsIt) {
    add(QStringLiteral("Ann Lee"), QStringLiteral("Acme"), QStringLiteral("+1 201 555 0142"),
        QStringLiteral("+1 201 555 0100"));
    openEditor();
    // Ctrl+Shift+R is File > Recipients…, and no other command's.
    editor_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(editor_.get()));
    QTest::keyClick(editor_.get(), Qt::Key_R, Qt::ControlModifier | Qt::ShiftModifier);
    ASSERT_TRUE(RecipientsWindow::open());
    delete RecipientsWindow::open();
    RecipientsWindow& window = openWindow();
    QTest::keyClicks(&window.searchField(), QStringLiteral("lee"));
    QTest::keyClick(&window.searchField(), Qt::Key_Return);
    for (int tab = 0; tab < 4; ++tab) {
        EXPECT_EQ(control<QLineEdit>(QStringLiteral("txtFor_%1").arg(tab))->text(), "Ann Lee");
        EXPECT_EQ(control<QLineEdit>(QStringLiteral("txtFaxFor_%1").arg(tab))->text(),
                  "+1 201 555 0142");
    }
    for (int tab = 0; tab < 2; ++tab)
        EXPECT_EQ(control<QLineEdit>(QStringLiteral("txtPhoneFor_%1").arg(tab))->text(),
                  "+1 201 555 0100");
    EXPECT_EQ(GetSetting(QStringLiteral("txtFaxFor")), "+1 201 555 0142");

    QLineEdit* name = control<QLineEdit>(QStringLiteral("txtFor_2"));
    name->selectAll();
    QTest::keyClicks(name, QStringLiteral("Dora Mill"));
    std::optional<Recipient> offered;
    window.setEditDialog([&](QWidget*, const QString&, const Recipient& start) {
        offered = start;
        Recipient typed = start;
        typed.company = QStringLiteral("Mill Ltd");
        return std::optional(typed);
    });
    window.command(RecipientsWindow::AddFromSheet)->trigger();
    ASSERT_TRUE(offered);
    EXPECT_EQ(offered->name, "Dora Mill");
    EXPECT_EQ(offered->fax, "+1 201 555 0142");
    EXPECT_EQ(offered->phone, "+1 201 555 0100");
    waitForChange();
    const std::optional<Recipient> added = book_->byName(QStringLiteral("Dora Mill"));
    ASSERT_TRUE(added);
    EXPECT_EQ(added->company, "Mill Ltd");
    EXPECT_EQ(selectedName(), "Dora Mill");

    // Without an editor there is no sheet: Use says so and changes nothing.
    editor_.reset();
    window.command(RecipientsWindow::Use)->trigger();
    EXPECT_TRUE(status().contains(QStringLiteral("no cover sheet"))) << status();
}

// Import reads the file on the worker, lists what it added and says so in the status bar;
// Export writes the version whose filter was chosen.
TEST_F(RecipientsWindowTest, ImportAddsTheEntriesAndSaysSoAndExportWritesTheVersionChosen) {
    const QString cards = folder_.filePath(QStringLiteral("cards.vcf"));
    QFile file(cards);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(
        "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Eve Park\r\nORG:Parkside\r\n"
        "TEL;TYPE=FAX:+1 201 555 0142\r\nEND:VCARD\r\n"
        "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Frank Roe\r\nTEL;TYPE=WORK:555-0100\r\n"
        "END:VCARD\r\n");
    file.close();
    RecipientsWindow& window = openWindow();
    window.setOpenDialog([&](QWidget*, const QString&, const QString&) { return cards; });
    window.command(RecipientsWindow::Import)->trigger();
    waitForChange();
    EXPECT_EQ(listed(window.table()), QStringList({"Eve Park", "Frank Roe"}));
    EXPECT_TRUE(status().startsWith(QStringLiteral("Added 2 entries"))) << status();
    EXPECT_TRUE(status().contains(QStringLiteral("1 of them have no fax number"))) << status();

    const QString out = folder_.filePath(QStringLiteral("out"));
    window.setSaveDialog([&](QWidget*, const SaveDialogRequest& request) {
        return SaveDialogChoice{out, request.filter.split(QStringLiteral(";;")).at(1)};
    });
    window.command(RecipientsWindow::Export)->trigger();
    waitForChange();
    QFile written(out + QStringLiteral(".vcf"));
    ASSERT_TRUE(written.open(QIODevice::ReadOnly)) << status();
    const QByteArray text = written.readAll();
    EXPECT_TRUE(text.contains("VERSION:4.0")) << text.constData();
    EXPECT_EQ(text.count("BEGIN:VCARD"), 2);
}

// Delete asks first; No keeps the entry, Yes deletes it and the next entry is chosen.
TEST_F(RecipientsWindowTest, DeleteAsksFirst) {
    add(QStringLiteral("Ann Lee"), {}, QStringLiteral("555-0100"));
    const qint64 bob = add(QStringLiteral("Bob Stone"), {}, QStringLiteral("555-0300"));
    RecipientsWindow& window = openWindow();
    window.view().selectRow(window.table().rowOf(bob));
    test::MessageRecorder boxes(MessageAnswer::No);
    window.command(RecipientsWindow::Delete)->trigger();
    ASSERT_EQ(boxes.all().size(), 1u);
    EXPECT_EQ(boxes.all().front().buttons, MessageButtons::YesNo);
    EXPECT_TRUE(boxes.all().front().text.contains(QStringLiteral("Bob Stone")));
    EXPECT_FALSE(window.job());
    EXPECT_TRUE(book_->find(bob));

    boxes.setAnswer(MessageAnswer::Yes);
    window.command(RecipientsWindow::Delete)->trigger();
    waitForChange();
    EXPECT_FALSE(book_->find(bob));
    EXPECT_EQ(listed(window.table()), QStringList({"Ann Lee"}));
    EXPECT_EQ(selectedName(), "Ann Lee");
}

// Without a directory the page says where to set one; with one that wants a password, Enter
// asks for it, keeps it and searches again; the person found goes into the phone book.
TEST_F(RecipientsWindowTest, DirectoryAsksForThePasswordThenFindsAndAdds) {
    RecipientsWindow& unset = openWindow();
    EXPECT_TRUE(unset.findChild<QLabel*>(QStringLiteral("DirectoryState"))
                    ->text()
                    .contains(QStringLiteral("Directory Settings")));
    EXPECT_FALSE(unset.directoryField().isEnabled());

    test::PrivateDirectory directory(
        QStringLiteral(R"(dn: cn=Ada Lovelace,ou=people,dc=example,dc=org
objectClass: inetOrgPerson
cn: Ada Lovelace
sn: Lovelace
o: Analytical Engines
facsimileTelephoneNumber: +1 201 555 0142
)"));
    if (!directory.whyNot().isEmpty()) GTEST_SKIP() << directory.whyNot().toStdString();
    const DirectorySettings settings{directory.uri(), QLatin1String(test::PrivateDirectory::kBase),
                                     QLatin1String(test::PrivateDirectory::kReader)};
    settings.save();
    DirectoryPasswords::forget(settings);
    RecipientsWindow& window = openWindow();
    window.pages().setCurrentIndex(RecipientsWindow::DirectoryPage);
    int asked = 0;
    window.setPasswordDialog([&](QWidget*, const QString&) {
        ++asked;
        return std::optional(QString::fromLatin1(test::PrivateDirectory::kReaderPassword));
    });
    QTest::keyClicks(&window.directoryField(), QStringLiteral("lovel"));
    EXPECT_FALSE(window.directoryJob());  // typing alone does not search
    QTest::keyClick(&window.directoryField(), Qt::Key_Return);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return !window.directoryJob() && window.directoryTable().rowCount() > 0; }, 20'000));
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(listed(window.directoryTable()), QStringList({"Ada Lovelace"}));

    window.setEditDialog(
        [](QWidget*, const QString&, const Recipient& start) { return std::optional(start); });
    window.command(RecipientsWindow::AddToPhoneBook)->trigger();
    waitForChange();
    const std::optional<Recipient> added = book_->byName(QStringLiteral("Ada Lovelace"));
    ASSERT_TRUE(added);
    EXPECT_EQ(added->company, "Analytical Engines");
    EXPECT_EQ(added->fax, "+1 201 555 0142");
    DirectoryPasswords::forget(settings);
}

}  // namespace
}  // namespace velmora
