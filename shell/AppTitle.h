#pragma once

#include <QString>

namespace velmora {

inline constexpr auto kProductName = "Velmora";

// The application title made from a product name: the text before its last space, taken
// once in any case and again while the text is longer than 40 characters.
QString ShortenAppTitle(QString name);

// Sets the application title (the caption of untitled message boxes) from the product name.
void SetAppTitle();

// The folder that holds the program file.
QString ProgramFolder();

}  // namespace velmora
