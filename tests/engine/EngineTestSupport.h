#pragma once

#include "Processes.h"
#include "coversheet/engine-libreoffice/OfficeConnection.h"

#include <sys/types.h>
#include <QByteArray>
#include <QString>
#include <chrono>
#include <functional>

namespace velmora::test {

// The options the program itself starts offices with, with bounds of the test's choosing.
office::StartOptions ProgramStartOptions();

// A Word template with the bookmarks of a cover sheet (made from data/sample.fodt by a real
// office, once per test program), copied to a file of its own in `folder`.
QString SampleTemplate(const QString& folder);

// The text a bookmark of the connection's active document covers. Paragraphs end in "\n".
QString BookmarkText(office::OfficeConnection& word, const QString& name);

// How many paragraphs a bookmark's text touches.
int ParagraphsCovered(office::OfficeConnection& word, const QString& name);

// A character property of the first character a bookmark covers.
QString BookmarkCharacterProperty(office::OfficeConnection& word, const QString& name,
                                  const char* property);

// Whether the document (the active one) was opened from `file` and is read-only.
bool OpenedReadOnlyFrom(office::OfficeConnection& word, const QString& file);

QByteArray ReadFile(const QString& path);

// Runs a program and returns its standard output ("" when it cannot be run).
QString RunProgram(const QString& program, const QStringList& arguments);

}  // namespace velmora::test
