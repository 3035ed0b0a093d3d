#include "Form1.h"

#include "coversheet/OfficeJobs.h"
#include "coversheet/WordCheck.h"
#include "editor/EditorLayout.h"
#include "editor/EditorPalette.h"
#include "editor/FieldControls.h"
#include "editor/RecipientCompletion.h"
#include "editor/SkinFramework.h"
#include "editor/TabPage.h"
#include "fax/server/FaxOutbox.h"
#include "preview/Form2.h"
#include "preview/OutboxWindow.h"
#include "preview/ReceivedWindow.h"
#include "preview/RecipientsWindow.h"
#include "resources/ProgramIcon.h"
#include "shell/AppTitle.h"
#include "shell/Failure.h"
#include "shell/FileProcedures.h"
#include "shell/Locations.h"
#include "shell/NumericText.h"
#include "shell/Procedure.h"
#include "shell/SettingsStore.h"
#include "shell/ui/FileDrops.h"
#include "shell/ui/ShortcutToolTip.h"
#include "shell/ui/TabStripAccessibility.h"
#include "shell/ui/WindowAccessibility.h"
#include "shell/ui/WindowChrome.h"
#include "shell/ui/WindowCommand.h"
#include "shell/ui/WindowLook.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDateEdit>
#include <QDesktopServices>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QScreen>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QUrl>
#include <algorithm>
#include <stdexcept>
#include <utility>

namespace velmora {

using namespace coversheet;
using editor::CreateMember;
using editor::EditorPalette;
using editor::MemberName;
using editor::PaintWhite;
using editor::TabPage;
using editor::TabPlacements;

namespace {

constexpr auto kWebSite = "https://velmora.example/";

}  // namespace

Form1::Form1(EditorEnvironment environment, QWidget* parent)
    : QWidget(parent), environment_(std::move(environment)) {
    setObjectName(QStringLiteral("Form1"));
    // The preview has the same caption; a screen reader tells the two apart by these.
    SetWindowAccessibility(*this, tr("%1 editor").arg(QLatin1String(kProductName)),
                           tr("Fill in the fax cover sheet"));
    for (const auto& field : Fields()) groups_.push_back(std::make_unique<FieldGroup>(field));
    buildWindow();
    buildFocusOrder();
    buildPointerRules();
    createActions();
    createMenus();
    drops_ = new FileDrops(*this, [this](const QStringList& files) { documents_.attach(files); });
    connect(&packet_, &FaxPacket::documentsChanged, this, &Form1::updateActions);
    connect(&packet_, &FaxPacket::attachingChanged, this, &Form1::updateActions);
    connect(&OfficeJobs::shared(), &OfficeJobs::busyChanged, this, &Form1::updateActions);
    updateActions();

    // The recipients faxed lately, offered as "For:" and "Fax number:" are typed.
    recipients_ = new RecipientCompletion(group("txtFor"), group("txtFaxFor"), this);
    FaxOutbox& outbox = FaxOutbox::shared();
    const auto offerRecent = [this, &outbox] {
        recipients_->setRecipients(RecentRecipients(outbox.faxes()));
    };
    connect(&outbox, &FaxOutbox::changed, this, offerRecent);
    offerRecent();
    // File > Recipients… fills the sheet and reads it through these.
    SetRecipientSheet(
        {.fill =
             [this](const Recipient& entry) { fillRecipient(entry.name, entry.fax, entry.phone); },
         .current = [this] { return sheetRecipient(); }});

    connect(TabControl1_, &QTabWidget::currentChanged, this,
            [](int index) { SaveSetting(QStringLiteral("TabControl1"), QString::number(index)); });
    // Focus on a field of the tab that went away moves to the first field of the new one.
    connect(TabControl1_, &QTabWidget::currentChanged, this, [this] {
        QWidget* focus = QApplication::focusWidget();
        if (focus && focus != TabControl1_->tabBar() && TabControl1_->isAncestorOf(focus))
            focusFirstField();
    });
}

Form1::~Form1() {
    SetRecipientSheet({});
}

void Form1::fillRecipient(const QString& name, const QString& fax, const QString& phone) {
    // Each passed on to every tab's member as typed; Phone only where a style has it.
    group("txtFor").setValue(0, name);
    group("txtFaxFor").setValue(0, fax);
    if (FieldGroup& phones = group("txtPhoneFor"); phones.memberCount() > 0)
        phones.setValue(0, phone);
}

Recipient Form1::sheetRecipient() const {
    Recipient shown;
    shown.name = group("txtFor").value(0);
    shown.fax = group("txtFaxFor").value(0);
    if (const FieldGroup& phones = group("txtPhoneFor"); phones.memberCount() > 0)
        shown.phone = phones.value(0);
    return shown;
}

void Form1::buildWindow() {
    chrome_ = AddWindowChrome(*this, editor::kWindowClient.toPixels().size());
    packetStatus_ = new QLabel(chrome_.statusBar);
    packetStatus_->setObjectName(QStringLiteral("PacketStatus"));
    chrome_.statusBar->addWidget(packetStatus_, 1);
    chrome_.client->setPalette(EditorPalette(QApplication::palette()));
    PaintWhite(chrome_.client);
    chrome_.client->setFont(ArialBold(9));
    adjustSize();
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    const auto button = [this](const char* name, const char* caption, editor::Twips at) {
        auto* pushButton = new QPushButton(QLatin1String(caption), chrome_.client);
        pushButton->setObjectName(QLatin1String(name));
        pushButton->setAutoDefault(true);  // Enter presses the button that has the focus
        pushButton->setFont(ArialBold(11.25));
        pushButton->setGeometry(at.toPixels());
        return pushButton;
    };
    PushButton6_ = button("PushButton6", "Start Creating Template", editor::kStartButton);
    PushButton2_ = button("PushButton2", "Clear/Reset Data", editor::kClearButton);
    PushButton3_ = button("PushButton3", "Load Sample/Example Data", editor::kSampleButton);

    TabControl1_ = new QTabWidget(chrome_.client);
    TabControl1_->setObjectName(QStringLiteral("TabControl1"));
    TabControl1_->setGeometry(editor::kTabControl.toPixels());
    TabControl1_->tabBar()->setFont(ArialBold(11.25));
    // Named for assistive technology, which otherwise hears the strip as its current tab and
    // the tab widget (that says it has the focus with its strip) as nameless.
    InstallTabStripAccessibility();
    TabControl1_->setAccessibleName(QStringLiteral("Styles"));
    TabControl1_->tabBar()->setAccessibleName(QStringLiteral("Style"));
    for (int tab = 0; tab < kTabCount; ++tab) buildTab(tab);

    // Every member now exists; hand them to their groups in member order.
    for (const auto& group : groups_) {
        const CoverSheetField& field = group->field();
        for (int member = 0; member < field.memberCount; ++member) {
            auto* control = findChild<QWidget*>(MemberName(field, member));
            Q_ASSERT_X(control, field.name, "a member has no place on its tab");
            group->addMember(control);
        }
    }
}

void Form1::buildTab(int tab) {
    const editor::TabPlacement& plan = TabPlacements()[tab];
    const Style& style = StyleOfTab(tab);

    auto* page = new TabPage(TabControl1_, plan.frame.toPixels());
    PaintWhite(page);
    auto* frame = new QFrame(page);
    frame->setObjectName(QLatin1String(style.frame));
    frame->setFrameStyle(QFrame::Box | QFrame::Sunken);
    PaintWhite(frame);
    page->setFrame(frame);
    TabControl1_->addTab(page, QLatin1String(style.caption));
    page->setAccessibleName(QLatin1String(style.caption));

    for (const auto& row : plan.fields) {
        const CoverSheetField& field = Field(row.field);
        const int member = field.memberOnTab(tab);
        Q_ASSERT_X(member >= 0, row.field, "placed on a tab the field is not shown on");

        auto* label = new QLabel(QLatin1String(row.caption), frame);
        label->setGeometry(
            editor::Twips{editor::kLabelLeft, row.labelTop, row.labelWidth, editor::kLabelHeight}
                .toPixels());
        // The captions were measured for the desktop's own text drawing; never cut one off.
        label->resize(std::max(label->width(), label->sizeHint().width()), label->height());

        QWidget* control = CreateMember(field, member, frame);
        label->setBuddy(control);
        control->setAccessibleName(editor::SpokenName(row));
        const bool isDate = field.kind == FieldKind::Date;
        const bool isMessage = field.kind == FieldKind::MultiLineText;
        const int height = isDate      ? plan.dateHeight
                           : isMessage ? editor::kMessageHeight
                                       : editor::kFieldHeight;
        control->setGeometry(editor::Twips{
            editor::kFieldLeft, row.top, isDate ? editor::kDateWidth : editor::kFieldWidth, height}
                                 .toPixels());
    }

    if (const editor::TickRow* row = plan.tickRow) {
        auto* tickFrame = new QFrame(frame);
        // Frame6 is an array too, numbered like the tick boxes it holds.
        tickFrame->setObjectName(
            QStringLiteral("Frame6_%1").arg(Field(row->ticks.front().field).memberOnTab(tab)));
        tickFrame->setFrameStyle(QFrame::NoFrame);
        PaintWhite(tickFrame);
        tickFrame->setGeometry(row->frame.toPixels());
        for (const auto& tick : row->ticks) {
            const CoverSheetField& field = Field(tick.field);
            auto* box =
                static_cast<QCheckBox*>(CreateMember(field, field.memberOnTab(tab), tickFrame));
            box->setText(QLatin1String(tick.caption));
            box->setGeometry(
                editor::Twips{tick.left, row->top, tick.width, editor::kTickHeight}.toPixels());
        }
    }
}

void Form1::buildFocusOrder() {
    // Each tab's fields in their rows' order, then its tick boxes; then the commands.
    for (const auto& plan : TabPlacements()) {
        std::vector<QWidget*>& order = tabFocusOrder_[size_t(plan.tab)];
        for (const auto& row : plan.fields)
            order.push_back(group(row.field).member(Field(row.field).memberOnTab(plan.tab)));
        if (plan.tickRow)
            for (const auto& tick : plan.tickRow->ticks)
                order.push_back(group(tick.field).member(Field(tick.field).memberOnTab(plan.tab)));
    }
    // The toolkit's own chain in the same order, for whatever walks it rather than asking
    // the window (a page that hides its focus, accessibility tools).
    std::vector<QWidget*> chain;
    for (const auto& order : tabFocusOrder_) chain.insert(chain.end(), order.begin(), order.end());
    chain.insert(chain.end(), commandFocusOrder().begin(), commandFocusOrder().end());
    for (size_t i = 1; i < chain.size(); ++i) setTabOrder(chain[i - 1], chain[i]);
}

std::array<QWidget*, 4> Form1::commandFocusOrder() const {
    return {PushButton6_, TabControl1_->tabBar(), PushButton2_, PushButton3_};
}

std::vector<QWidget*> Form1::focusOrder() const {
    std::vector<QWidget*> order = tabFocusOrder_.at(size_t(std::max(selectedTab(), 0)));
    const auto commands = commandFocusOrder();
    order.insert(order.end(), commands.begin(), commands.end());
    return order;
}

bool Form1::focusNextPrevChild(bool next) {
    // Tab and Shift+Tab walk the visible tab's fields and then the commands, round and round;
    // nothing on a hidden tab takes the focus.
    const std::vector<QWidget*> order = focusOrder();
    const auto count = std::ptrdiff_t(order.size());
    std::ptrdiff_t at = next ? -1 : count;
    for (QWidget* focus = QApplication::focusWidget(); focus && focus != this;
         focus = focus->parentWidget()) {
        if (const auto found = std::ranges::find(order, focus); found != order.end()) {
            at = found - order.begin();
            break;
        }
    }
    for (std::ptrdiff_t step = 1; step <= count; ++step) {
        QWidget* candidate = order[size_t(((at + (next ? step : -step)) % count + count) % count)];
        if (candidate->isVisibleTo(this) && candidate->isEnabled()) {
            candidate->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
            return true;
        }
    }
    return false;
}

void Form1::focusFirstField() {
    const std::vector<QWidget*> order = focusOrder();
    const auto first =
        std::ranges::find_if(order, [this](QWidget* widget) { return widget->isVisibleTo(this); });
    if (first != order.end()) (*first)->setFocus(Qt::OtherFocusReason);
}

void Form1::createActions() {
    // Commands the keyboard reaches from anywhere in the window; each button shows its own.
    AddWindowCommands(
        *this,
        {{&startAction_,
          PushButton6_->text(),
          {QKeySequence(Qt::CTRL | Qt::Key_Return), QKeySequence(Qt::CTRL | Qt::Key_Enter)},
          [this] { PushButton6_Click(); },
          PushButton6_},
         {&clearAction_, PushButton2_->text(), {}, [this] { PushButton2_Click(); }, PushButton2_},
         {&sampleAction_, PushButton3_->text(), {}, [this] { PushButton3_Click(); }, PushButton3_},
         {&stopAction_, QStringLiteral("Stop"), {QKeySequence::Cancel}, [this] { packet_.stop(); }},
         {&closeAction_, QStringLiteral("Close"), {QKeySequence(QKeySequence::Quit)}, [this] {
              close();
          }}});
    AddWindowCommands(
        *this, documents_.commandRows(*this, &attachAction_, &documentsAction_, &scanAction_));
    outboxAction_ = AddWindowCommand(*this, tr("Outbox\u2026"),
                                     {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O)},
                                     [this] { ShowOutbox(this); });
    receivedAction_ = AddWindowCommand(*this, tr("Received Faxes\u2026"),
                                       {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_V)},
                                       [this] { ShowReceivedFaxes(this, documents_); });
    recipientsAction_ = AddWindowCommand(*this, tr("Recipients\u2026"),
                                         {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_R)},
                                         [this] { ShowRecipients(this); });
    connect(&run_, &GenerationRun::busyChanged, this, &Form1::updateActions);

    const auto stepTab = [this](int by) {
        const int count = TabControl1_->count();
        TabControl1_->setCurrentIndex((TabControl1_->currentIndex() + by + count) % count);
    };
    nextStyleAction_ = AddWindowCommand(
        *this, QStringLiteral("Next Style"),
        {QKeySequence(Qt::CTRL | Qt::Key_Tab), QKeySequence(Qt::CTRL | Qt::Key_PageDown)},
        [stepTab] { stepTab(1); });
    previousStyleAction_ = AddWindowCommand(*this, QStringLiteral("Previous Style"),
                                            {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab),
                                             QKeySequence(Qt::CTRL | Qt::Key_PageUp)},
                                            [stepTab] { stepTab(-1); });
    TabControl1_->tabBar()->setToolTip(
        QStringLiteral("Next style: Ctrl+Tab or Ctrl+PgDown; previous style: Ctrl+Shift+Tab or "
                       "Ctrl+PgUp"));
}

void Form1::createMenus() {
    AddCommandGroups(*chrome_.menuBar->addMenu(QStringLiteral("&File")),
                     {{startAction_, clearAction_, sampleAction_},
                      {attachAction_, documentsAction_, scanAction_},
                      {recipientsAction_, outboxAction_, receivedAction_},
                      {stopAction_, closeAction_}});
    AddCommandGroups(*chrome_.menuBar->addMenu(QStringLiteral("&View")),
                     {{nextStyleAction_, previousStyleAction_}});
    QMenu* help = chrome_.menuBar->addMenu(QStringLiteral("&Help"));
    help->addAction(QStringLiteral("&About %1").arg(QLatin1String(kProductName)), this,
                    [this] { ShowAbout(this); });
    chrome_.menusAdded();
}

// While a run waits on the office, "Start Creating Template" waits too; the fields, the tabs
// and the other commands stay the user's (the run took its values at the click).
//
// Documents are attached and listed only while no office work is under way: a run takes the
// packet's page count at its click, and a document's file must stay while work reads it.
void Form1::updateActions() {
    const bool idle = !run_.busy();
    const bool officeIdle = idle && !OfficeJobs::shared().busy();
    if (!idle && PushButton6_->hasFocus()) refocusStart_ = true;
    startAction_->setEnabled(idle && !packet_.attaching());
    attachAction_->setEnabled(officeIdle);
    stopAction_->setEnabled(OfficeJobs::shared().busy());
    chrome_.showBusy(OfficeJobs::shared().busy());
    documentsAction_->setEnabled(officeIdle);
    scanAction_->setEnabled(officeIdle);
    drops_->setEnabled(officeIdle);
    packetStatus_->setText(packet_.attaching() ? QStringLiteral("Attaching documents\u2026")
                           : packet_.count() == 0
                               ? QStringLiteral("No documents attached")
                               : QStringLiteral("%1 attached behind the cover (%2)")
                                     .arg(packet_.count() == 1
                                              ? QStringLiteral("1 document")
                                              : QStringLiteral("%1 documents").arg(packet_.count()),
                                          PagesText(packet_.attachedPages())));
    // The button keeps the focus it had when it was pressed, for when the editor comes back.
    if (idle && std::exchange(refocusStart_, false)) PushButton6_->setFocus(Qt::OtherFocusReason);
}

void Form1::buildPointerRules() {
    using Rule = PointerRules::Rule;
    for (QPushButton* button : {PushButton6_, PushButton2_, PushButton3_})
        pointerRules_.overControl(button, Rule::Hand);
    pointerRules_.overBackground(chrome_.client, Rule::Arrow);
    for (const auto& style : Styles())
        pointerRules_.overBackground(findChild<QFrame*>(QLatin1String(style.frame)), Rule::Arrow);
    for (QFrame* tickFrame : findChildren<QFrame*>(QRegularExpression(QStringLiteral("^Frame6_"))))
        pointerRules_.overBackground(tickFrame, Rule::Arrow);
    for (const auto& group : groups_) {
        if (group->field().kind == FieldKind::Tick) continue;
        for (int member = 0; member < group->memberCount(); ++member)
            pointerRules_.overControl(group->member(member), Rule::Arrow);
    }
}

FieldGroup& Form1::group(std::string_view fieldName) const {
    for (const auto& group : groups_)
        if (fieldName == group->field().name) return *group;
    throw std::out_of_range("no such field: " + std::string(fieldName));
}

QString Form1::programFolder() const {
    return environment_.programFolder.isEmpty() ? ProgramFolder() : environment_.programFolder;
}

bool Form1::Form_Load() {
    Procedure proc(location::Form1_Form_Load);
    proc.step(100, [&] { ApplySkin(); });
    proc.step(104, [&] {
        setWindowTitle(QLatin1String(kProductName));
        setWindowIcon(ProgramIcon());
        SetAppTitle();
    });
    if (proc.test(
            106, [&] { return WindowPointer::customCursorExists(programFolder()); }, false))
        proc.step(108, [&] { pointer_.loadCustomCursor(programFolder()); });
    proc.step(110, [&] { MaybeVisitWebSite(); });
    RestoreFields(proc);
    return proc.test(
        230,
        [&] {
            return environment_.checkOffice ? environment_.checkOffice() : CheckWordAvailable();
        },
        true);
}

void Form1::ApplySkin() {
    const QString skinFile = programFolder() + QStringLiteral("/x/o.cjs");
    if (!FileListed(skinFile)) return;
    SetButtonFaceColors(this);
    // The pages under the frames too, or white strips would stay around them.
    for (int tab = 0; tab < TabControl1_->count(); ++tab)
        PaintButtonFace(TabControl1_->widget(tab));
    SkinFramework skin;
    skin.loadSkin(skinFile);
    skin.setApplyOptions(skin.applyOptions() | SkinFramework::ApplyColors);
    skin.setAutoApplyNewWindows(true);
    skin.applyWindow(*this);
}

void Form1::MaybeVisitWebSite() {
    // One start in a hundred shows the web site.
    const int number = environment_.drawVisitNumber
                           ? environment_.drawVisitNumber()
                           : int(QRandomGenerator::global()->bounded(1, 101));
    if (number != 7) return;
    const QUrl site{QString::fromLatin1(kWebSite)};
    if (environment_.openUrl)
        environment_.openUrl(site);
    else
        QDesktopServices::openUrl(site);
}

void Form1::RestoreFields(Procedure& proc) {
    // The step of each field: an array's members are restored in a loop whose body is the
    // step after it; a single control takes one step.
    static constexpr std::pair<const char*, int> kSteps[] = {
        {"dtpDate", 128},     {"txtFor", 134},      {"txtFrom", 140},     {"txtFaxFor", 146},
        {"txtSubj", 152},     {"txtMsg", 158},      {"txtAddress", 164},  {"txtOrgName", 166},
        {"txtLocation", 168}, {"txtCity", 170},     {"txtWWW", 172},      {"txtFaxFrom", 174},
        {"txtCC", 180},       {"txtPhoneFor", 186}, {"txtPhone", 192},    {"CheckRecycle", 198},
        {"CheckComm", 204},   {"CheckReply", 210},  {"CheckReview", 216}, {"CheckUrgent", 222},
    };
    for (const auto& [name, line] : kSteps) {
        FieldGroup& fields = group(name);
        if (fields.field().single) {
            proc.step(line, [&] { fields.restoreMember(0); });
            continue;
        }
        for (int member = 0; member < fields.memberCount(); ++member)
            proc.step(line + 2, [&] { fields.restoreMember(member); });
    }
    proc.step(228, [&] {
        const int tab =
            NumericText(GetSetting(QStringLiteral("TabControl1"), QStringLiteral("0"))).toInteger();
        if (tab < 0 || tab >= TabControl1_->count())
            throw Failure(QStringLiteral("Invalid property value"));
        TabControl1_->setCurrentIndex(tab);
    });
}

void Form1::PushButton2_Click() {
    Procedure proc(location::Form1_PushButton2_Click);
    const auto clear = [&](int line, const char* name) {
        proc.step(line, [&] { group(name).setValue(0, QString()); });
    };
    clear(100, "txtFor");
    clear(102, "txtFaxFor");
    clear(104, "txtFrom");
    clear(106, "txtSubj");
    clear(108, "txtMsg");
    clear(110, "txtFaxFrom");
    proc.step(112, [&] { TabControl1_->setCurrentIndex(0); });
}

void Form1::PushButton3_Click() {
    Procedure proc(location::Form1_PushButton3_Click);
    const auto fill = [&](int line, const char* name, const char* text) {
        proc.step(line, [&] { group(name).setValue(0, QLatin1String(text)); });
    };
    fill(100, "txtFor", "Martin Hale");
    fill(102, "txtFaxFor", "555-014-2278");
    fill(104, "txtFrom", "Nora Quist");
    fill(106, "txtFaxFrom", "555-016-3391");
    fill(108, "txtSubj", "What's up man");
    fill(110, "txtMsg", "Did you eat that cheeseburger yet?");
    proc.step(112, [&] { TabControl1_->setCurrentIndex(0); });
}

void Form1::PushButton6_Click() {
    run_.run();
}

int Form1::selectedTab() const {
    return TabControl1_->currentIndex();
}

QString Form1::fieldText(const CoverSheetField& field) const {
    return group(field.name).value(field.runMember());
}

QDate Form1::fieldDate(const CoverSheetField& field) const {
    const auto* date = qobject_cast<QDateEdit*>(group(field.name).member(field.runMember()));
    if (!date) throw Failure(QStringLiteral("Type mismatch: %1 is not a date").arg(field.name));
    return date->date();
}

int Form1::fieldTick(const CoverSheetField& field) const {
    const auto* tick = qobject_cast<QCheckBox*>(group(field.name).member(field.runMember()));
    if (!tick) throw Failure(QStringLiteral("Type mismatch: %1 is not a tick box").arg(field.name));
    return TickValue(tick->checkState());
}

void Form1::setBusyPointer(bool busy) {
    pointer_.set(busy ? WindowPointer::Hourglass : WindowPointer::Default);
}

Form2& Form1::preview() {
    if (!preview_) preview_ = std::make_unique<Form2>(documents_, [this] { showEditor(); });
    return *preview_;
}

void Form1::showPreview() {
    preview().show();
}

void Form1::hideEditor() {
    hide();
}

void Form1::showEditor() {
    show();
    raise();
    activateWindow();
}

void Form1::showEvent(QShowEvent* event) {
    // The first time the window opens, the focus is on the selected tab's first field; later
    // it comes back to wherever it was.
    if (!focusWidget()) focusFirstField();
    QWidget::showEvent(event);
}

void Form1::endProgram() {
    if (preview_ && preview_->isVisible())
        preview_->close();
    else
        close();
    // Also ends the loops of boxes that are open, and works before the program's own loop
    // runs (during start-up), where quit() does nothing.
    QCoreApplication::exit(0);
}

void Form1::closeEvent(QCloseEvent* event) {
    // Closing the editor ends the program, whatever else is open, and office work under way
    // with it.
    if (OfficeJobs::shared().busy()) OfficeJobs::shared().abortWork();
    event->accept();
    QCoreApplication::quit();
}

}  // namespace velmora
