#pragma once

#include "coversheet/GenerationRun.h"
#include "editor/FieldGroup.h"
#include "editor/PointerRules.h"
#include "fax/FaxPacket.h"
#include "preview/AttachedDocuments.h"
#include "recipients/Recipient.h"
#include "shell/ui/WindowChrome.h"
#include "shell/ui/WindowPointer.h"

#include <QString>
#include <QWidget>
#include <array>
#include <functional>
#include <memory>
#include <string_view>
#include <vector>

class QAction;
class QLabel;
class QPushButton;
class QTabWidget;
class QUrl;

namespace velmora {

class FileDrops;
class RecipientCompletion;
class Form2;
class Procedure;

// What the editor's start-up reaches outside the program for. Every member left empty
// means the real thing; tests fill them in.
struct EditorEnvironment {
    std::function<bool()> checkOffice;         // CheckWordAvailable
    std::function<int()> drawVisitNumber;      // a number from 1 to 100, at random
    std::function<void(const QUrl&)> openUrl;  // the desktop's browser
    QString programFolder;                     // ProgramFolder()
};

// The editor window: the cover sheet's fields on four tabs, one per style, and the commands
// to clear them, fill in an example and start the document.
//
// Every control is named as it was designed. A member of a control array is named after its
// array and its index, "txtFor_0" to "txtFor_3"; a single control keeps its plain name.
class Form1 : public QWidget, public GenerationHost {
    Q_OBJECT
public:
    explicit Form1(EditorEnvironment environment = {}, QWidget* parent = nullptr);
    ~Form1() override;

    // Start-up: skin, caption, pointer, the fields as they were left, and the office check.
    // Returns false when the program is to end without showing the editor.
    bool Form_Load();

    // Ends the program as the user's close would: through the preview's close steps (its
    // temporary document deleted) when the preview is shown, else as the editor's close.
    void endProgram();

    void PushButton2_Click();  // Clear/Reset Data
    void PushButton3_Click();  // Load Sample/Example Data
    void PushButton6_Click();  // Start Creating Template

    FieldGroup& group(std::string_view fieldName) const;  // throws std::out_of_range
    QTabWidget* tabControl() const { return TabControl1_; }
    WindowPointer& pointer() { return pointer_; }
    Form2* previewWindow() const { return preview_.get(); }

    // GenerationHost
    int selectedTab() const override;
    QString fieldText(const coversheet::CoverSheetField& field) const override;
    QDate fieldDate(const coversheet::CoverSheetField& field) const override;
    int fieldTick(const coversheet::CoverSheetField& field) const override;
    void setBusyPointer(bool busy) override;
    void showPreview() override;
    void hideEditor() override;

    // The fax the editor's fields lead: its cover, the documents attached behind it.
    FaxPacket& packet() { return packet_; }
    AttachedDocuments& attachedDocuments() { return documents_; }
    // "< Back" from the preview: the editor again.
    void showEditor();

    // Puts a recipient on the sheet, on every tab, as if typed: For, Fax number, and Phone on
    // the styles that have it.
    void fillRecipient(const QString& name, const QString& fax, const QString& phone);
    // The sheet's recipient now: For, Fax number and Phone.
    Recipient sheetRecipient() const;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;  // Form_Unload
    bool focusNextPrevChild(bool next) override;

private:
    void buildWindow();
    void buildTab(int tab);
    void buildFocusOrder();
    void buildPointerRules();
    void createActions();
    void createMenus();
    // Enables the commands the window's state allows now (a run under way or not, documents
    // being attached), and says so in the status bar.
    void updateActions();

    // Where Tab goes: the selected tab's fields, then the commands.
    std::vector<QWidget*> focusOrder() const;
    std::array<QWidget*, 4> commandFocusOrder() const;
    void focusFirstField();

    void ApplySkin();
    void MaybeVisitWebSite();
    void RestoreFields(Procedure& proc);
    QString programFolder() const;
    Form2& preview();

    EditorEnvironment environment_;
    WindowPointer pointer_{*this};
    PointerRules pointerRules_{pointer_};
    std::vector<std::unique_ptr<FieldGroup>> groups_;
    RecipientCompletion* recipients_ = nullptr;
    std::array<std::vector<QWidget*>, coversheet::kTabCount> tabFocusOrder_;
    FaxPacket packet_{this};  // for the program's run; makes the cover with this window's values
    GenerationRun& run_ = *packet_.coverRun();
    AttachedDocuments documents_{packet_};  // the preview shares them
    std::unique_ptr<Form2> preview_;

    WindowChrome chrome_;             // the bars and the designed client area between them
    QLabel* packetStatus_ = nullptr;  // what is attached
    FileDrops* drops_ = nullptr;

    QAction* startAction_ = nullptr;  // PushButton6's keys
    QAction* clearAction_ = nullptr;
    QAction* sampleAction_ = nullptr;
    QAction* attachAction_ = nullptr;
    QAction* documentsAction_ = nullptr;
    QAction* scanAction_ = nullptr;
    QAction* nextStyleAction_ = nullptr;
    QAction* previousStyleAction_ = nullptr;
    QAction* closeAction_ = nullptr;
    QAction* stopAction_ = nullptr;
    QAction* outboxAction_ = nullptr;
    QAction* receivedAction_ = nullptr;
    QAction* recipientsAction_ = nullptr;
    bool refocusStart_ = false;  // PushButton6 had the focus when a run disabled it
    QPushButton* PushButton6_ = nullptr;
    QPushButton* PushButton2_ = nullptr;
    QPushButton* PushButton3_ = nullptr;
    QTabWidget* TabControl1_ = nullptr;
};

}  // namespace velmora
