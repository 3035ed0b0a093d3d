#pragma once

// Looking inside Word files from the tests: the installed office converts them to Flat ODT
// (one XML file) and FlatDocument reads that. antiword gives a second, independent reading of
// a Word file's text.

#include <QDomDocument>
#include <QHash>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace velmora::test {

// The checked-out source tree (templates, tools).
QString SourceDir();

// The installed office's version number ("7.4.7.2"), or empty when there is none.
QString InstalledOfficeVersion();

// Converts `files` with the installed office to `format` (an extension, optionally with a
// filter: "fodt", "doc:MS Word 97") into `outDir`, on a throwaway profile inside `workDir` and
// with the templates' font setup (or the fontconfig file `fontConfig`). Returns the office's
// output; `ok` tells whether every file came out.
QString ConvertWithOffice(const QStringList& files, const QString& format, const QString& outDir,
                          const QString& workDir, bool* ok, const QString& fontConfig = {});

// antiword's plain-text reading of a Word file (an empty string when it fails; `error` says
// why).
QString AntiwordText(const QString& file, QString* error = nullptr);

// Lengths in twips, from an ODF measure ("1.25in", "12pt", "2.54cm").
double Twips(const QString& measure);

class FlatDocument {
public:
    // Reads a Flat ODT file; `error` is set when it cannot.
    static FlatDocument Load(const QString& path, QString* error);

    struct Page {
        double width = 0, height = 0;                     // twips
        double left = 0, right = 0, top = 0, bottom = 0;  // to the body, twips
        QString orientation;
        QString masterName;
    };
    // One entry per master page.
    std::vector<Page> pages() const;

    struct TextStyle {
        QString family;  // "paragraph" or "text"
        QString font;    // resolved through the parent styles
        double sizePt = 0;
        bool bold = false;
        bool upperCase = false;
        QString color;  // "#rrggbb" or empty
    };
    // A paragraph or character style by its shown name, with what it inherits.
    std::optional<TextStyle> style(const QString& displayName) const;

    // The bookmark names in document order (a range bookmark counted once).
    QStringList bookmarks() const;

    // A piece of body text and how it shows.
    struct Run {
        QString text;
        QString font;
        QString color;
        QString macro;  // the macro of the field it sits in ("DoFieldClick"), or empty
        bool pageCount = false;
    };
    // The runs inside a bookmark; nullopt when there is no such bookmark.
    std::optional<std::vector<Run>> bookmarkRuns(const QString& name) const;
    static QString Text(const std::vector<Run>& runs);
    // Up to `length` characters of body text from where the bookmark starts.
    QString textFrom(const QString& name, int length) const;

    // The body text in document order, paragraphs ending in '\n'.
    QString bodyText() const;
    // The runs of every page-count field in the body.
    std::vector<Run> pageCountFields() const;

private:
    struct Item {
        enum Kind { Text, BookmarkStart, BookmarkEnd, Bookmark } kind;
        Run run;       // Text
        QString name;  // bookmark items
    };
    void collect(const QDomElement& element, QStringList spanStyles, const QString& paraStyle,
                 const QString& macro, bool pageCount);
    void addText(const QString& text, const QStringList& spanStyles, const QString& paraStyle,
                 const QString& macro, bool pageCount);
    QString property(const QString& family, const QString& name, const QString& attribute) const;
    QString runProperty(const QStringList& spanStyles, const QString& paraStyle,
                        const QString& attribute) const;
    QString fontFamily(const QString& fontName) const;

    QDomDocument document_;
    QHash<QString, QDomElement> styles_;         // "family/name"
    QHash<QString, QDomElement> defaultStyles_;  // family
    QHash<QString, QString> displayNames_;       // shown name -> "family/name"
    QHash<QString, QString> fontFaces_;          // font name -> family
    std::vector<Item> items_;
};

}  // namespace velmora::test
