#pragma once

#include "SaveDialog.h"
#include "fax/SaveJob.h"

#include <QString>
#include <optional>

class QWidget;

namespace velmora {

class FaxPacket;

// The questions of "Save Results To Word File": the save dialog (opened where this run last
// saved, else in the user's documents), the name given the chosen format's extension, a name
// that is one of the packet's own working files refused, an existing file overwritten only
// when the user says so. Its steps are numbered as the preview's save command's.
class SaveCommand {
public:
    // What the user chose to write, or nothing when the save is not to go ahead. `filter` is
    // the format whose filter the dialog starts with.
    std::optional<SaveOrder> ask(QWidget* window, const FaxPacket& packet, DocumentFormat filter,
                                 FaxResolution resolution);
    // A save went well: the next dialog opens in its folder.
    void savedIn(const QString& target);

    // Replaces the modal save dialog, so that tests can choose a name or cancel.
    void setDialog(SaveDialog dialog) { dialog_ = std::move(dialog); }

private:
    SaveDialog dialog_ = RunSaveDialog;
    QString lastFolder_;  // where this run last saved
};

}  // namespace velmora
