#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace velmora {

// What the save dialog is shown with: the file name it starts from, its title, its filters
// in Qt's form, the one of them selected at first, and the folder it opens in.
struct SaveDialogRequest {
    QString fileName;
    QString title;
    QString filter;
    QString selectedFilter;  // empty: the first
    QString folder;
};

// What the user chose: the name exactly as the dialog gives it, empty when cancelled, and
// the filter selected at that moment.
struct SaveDialogChoice {
    QString fileName;
    QString filter;
};

// Shows the dialog and returns the user's choice.
using SaveDialog =
    std::function<SaveDialogChoice(QWidget* parent, const SaveDialogRequest& request)>;

// The modal file dialog. It adds no extension to the name and leaves the question about
// overwriting an existing file to its caller.
SaveDialogChoice RunSaveDialog(QWidget* parent, const SaveDialogRequest& request);

// "Word Files (*.doc)|*.doc" as Qt writes it: "Word Files (*.doc)". Pairs of description and
// pattern; a description that does not show its pattern gets it added in parentheses.
QString QtNameFilter(const QString& pairedFilter);

}  // namespace velmora
