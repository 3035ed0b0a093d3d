#include "OfficeFileReaders.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QUrl>

namespace velmora::test {

QString SourceDir() {
    return QStringLiteral(VELMORA_SOURCE_DIR);
}

QString InstalledOfficeVersion() {
    QProcess office;
    office.start(QStringLiteral("soffice"), {QStringLiteral("--version")});
    if (!office.waitForStarted() || !office.waitForFinished(-1)) return {};
    const auto match = QRegularExpression(QStringLiteral("\\b(\\d+(?:\\.\\d+)+)\\b"))
                           .match(QString::fromUtf8(office.readAllStandardOutput()));
    return match.hasMatch() ? match.captured(1) : QString();
}

QString ConvertWithOffice(const QStringList& files, const QString& format, const QString& outDir,
                          const QString& workDir, bool* ok, const QString& fontConfig) {
    *ok = false;
    QDir().mkpath(outDir);
    const QString profile = workDir + QStringLiteral("/office-profile");
    QDir().mkpath(profile);

    QProcess office;
    auto environment = QProcessEnvironment::systemEnvironment();
    environment.insert(
        QStringLiteral("FONTCONFIG_FILE"),
        fontConfig.isEmpty() ? SourceDir() + QStringLiteral("/templates/fonts.conf") : fontConfig);
    office.setProcessEnvironment(environment);
    office.setWorkingDirectory(outDir);
    office.setProcessChannelMode(QProcess::MergedChannels);
    QStringList arguments{
        QStringLiteral("-env:UserInstallation=") + QUrl::fromLocalFile(profile).toString(),
        QStringLiteral("--headless"),
        QStringLiteral("--norestore"),
        QStringLiteral("--nologo"),
        QStringLiteral("--nolockcheck"),
        QStringLiteral("--convert-to"),
        format,
        QStringLiteral("--outdir"),
        outDir};
    arguments += files;
    office.start(QStringLiteral("soffice"), arguments);
    if (!office.waitForStarted()) return QStringLiteral("soffice could not be started");
    office.waitForFinished(-1);
    const QString log = QString::fromUtf8(office.readAll());

    const QString extension = format.section(QLatin1Char(':'), 0, 0);
    bool all = office.exitStatus() == QProcess::NormalExit && office.exitCode() == 0;
    for (const auto& file : files) {
        const QFileInfo out(outDir + QLatin1Char('/') + QFileInfo(file).completeBaseName() +
                            QLatin1Char('.') + extension);
        all = all && out.exists() && out.size() > 0;
    }
    *ok = all;
    return log;
}

QString AntiwordText(const QString& file, QString* error) {
    QProcess antiword;
    antiword.start(QStringLiteral("antiword"), {QStringLiteral("-m"), QStringLiteral("UTF-8.txt"),
                                                QStringLiteral("-w"), QStringLiteral("0"), file});
    if (!antiword.waitForStarted()) {
        if (error) *error = QStringLiteral("antiword could not be started");
        return {};
    }
    antiword.waitForFinished(-1);
    if (antiword.exitStatus() != QProcess::NormalExit || antiword.exitCode() != 0) {
        if (error) *error = QString::fromUtf8(antiword.readAllStandardError());
        return {};
    }
    return QString::fromUtf8(antiword.readAllStandardOutput());
}

double Twips(const QString& measure) {
    static const QRegularExpression form(QStringLiteral("^(-?[0-9.]+)(in|pt|cm|mm|pc)$"));
    const auto match = form.match(measure.trimmed());
    if (!match.hasMatch()) return 0;
    const double value = match.captured(1).toDouble();
    const QString unit = match.captured(2);
    if (unit == QLatin1String("in")) return value * 1440;
    if (unit == QLatin1String("pt")) return value * 20;
    if (unit == QLatin1String("pc")) return value * 240;
    if (unit == QLatin1String("cm")) return value * 1440 / 2.54;
    return value * 144 / 2.54;  // mm
}

namespace {

QDomElement child(const QDomElement& parent, const QString& tag) {
    return parent.firstChildElement(tag);
}

QString unquote(QString family) {
    family = family.trimmed();
    if (family.size() >= 2 &&
        (family.startsWith(QLatin1Char('\'')) || family.startsWith(QLatin1Char('"'))))
        family = family.mid(1, family.size() - 2);
    return family;
}

}  // namespace

FlatDocument FlatDocument::Load(const QString& path, QString* error) {
    FlatDocument result;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot open ") + path;
        return result;
    }
    QString message;
    int line = 0;
    if (!result.document_.setContent(file.readAll(), false, &message, &line)) {
        *error = QStringLiteral("%1: line %2: %3").arg(path).arg(line).arg(message);
        return result;
    }
    const QDomElement root = result.document_.documentElement();

    for (const char* section : {"office:styles", "office:automatic-styles"}) {
        const QDomElement styles = child(root, QLatin1String(section));
        for (auto style = styles.firstChildElement(); !style.isNull();
             style = style.nextSiblingElement()) {
            const QString family = style.attribute(QStringLiteral("style:family"));
            if (style.tagName() == QLatin1String("style:default-style")) {
                result.defaultStyles_.insert(family, style);
            } else if (style.tagName() == QLatin1String("style:style")) {
                const QString name = style.attribute(QStringLiteral("style:name"));
                const QString key = family + QLatin1Char('/') + name;
                result.styles_.insert(key, style);
                if (qstrcmp(section, "office:styles") == 0)
                    result.displayNames_.insert(
                        style.attribute(QStringLiteral("style:display-name"), name), key);
            }
        }
    }
    const QDomElement faces = child(root, QStringLiteral("office:font-face-decls"));
    for (auto face = faces.firstChildElement(QStringLiteral("style:font-face")); !face.isNull();
         face = face.nextSiblingElement(QStringLiteral("style:font-face")))
        result.fontFaces_.insert(face.attribute(QStringLiteral("style:name")),
                                 unquote(face.attribute(QStringLiteral("svg:font-family"))));

    const QDomElement text =
        child(child(root, QStringLiteral("office:body")), QStringLiteral("office:text"));
    result.collect(text, {}, {}, {}, false);
    return result;
}

void FlatDocument::addText(const QString& text, const QStringList& spanStyles,
                           const QString& paraStyle, const QString& macro, bool pageCount) {
    Item item{Item::Text, {}, {}};
    item.run.text = text;
    item.run.macro = macro;
    item.run.pageCount = pageCount;
    item.run.font =
        fontFamily(runProperty(spanStyles, paraStyle, QStringLiteral("style:font-name")));
    if (item.run.font.isEmpty())
        item.run.font =
            unquote(runProperty(spanStyles, paraStyle, QStringLiteral("fo:font-family")));
    item.run.color = runProperty(spanStyles, paraStyle, QStringLiteral("fo:color")).toLower();
    items_.push_back(std::move(item));
}

void FlatDocument::collect(const QDomElement& element, QStringList spanStyles,
                           const QString& paraStyle, const QString& macro, bool pageCount) {
    for (auto node = element.firstChild(); !node.isNull(); node = node.nextSibling()) {
        if (node.isText()) {
            // Inside text elements ODF collapses white space to one space.
            QString text = node.toText().data();
            text.replace(QRegularExpression(QStringLiteral("[ \\t\\r\\n]+")), QStringLiteral(" "));
            const QString parent = element.tagName();
            if (parent.startsWith(QLatin1String("text:")) && parent != QLatin1String("text:list") &&
                parent != QLatin1String("text:list-item") &&
                parent != QLatin1String("text:section"))
                addText(text, spanStyles, paraStyle, macro, pageCount);
            continue;
        }
        const QDomElement e = node.toElement();
        if (e.isNull()) continue;
        const QString tag = e.tagName();
        const QString name = e.attribute(QStringLiteral("text:name"));
        if (tag == QLatin1String("office:event-listeners") ||
            tag == QLatin1String("office:binary-data") ||
            tag == QLatin1String("office:annotation") ||
            tag == QLatin1String("text:sequence-decls") || tag == QLatin1String("office:forms"))
            continue;
        if (tag == QLatin1String("text:bookmark-start")) {
            items_.push_back({Item::BookmarkStart, {}, name});
        } else if (tag == QLatin1String("text:bookmark-end")) {
            items_.push_back({Item::BookmarkEnd, {}, name});
        } else if (tag == QLatin1String("text:bookmark")) {
            items_.push_back({Item::Bookmark, {}, name});
        } else if (tag == QLatin1String("text:s")) {
            addText(QString(e.attribute(QStringLiteral("text:c"), QStringLiteral("1")).toInt(),
                            QLatin1Char(' ')),
                    spanStyles, paraStyle, macro, pageCount);
        } else if (tag == QLatin1String("text:tab")) {
            addText(QStringLiteral("\t"), spanStyles, paraStyle, macro, pageCount);
        } else if (tag == QLatin1String("text:line-break")) {
            addText(QStringLiteral("\n"), spanStyles, paraStyle, macro, pageCount);
        } else if (tag == QLatin1String("text:p") || tag == QLatin1String("text:h")) {
            collect(e, {}, e.attribute(QStringLiteral("text:style-name")), macro, pageCount);
            addText(QStringLiteral("\n"), {}, e.attribute(QStringLiteral("text:style-name")), macro,
                    pageCount);
        } else if (tag == QLatin1String("text:span") || tag == QLatin1String("text:a")) {
            QStringList inner = spanStyles;
            if (e.hasAttribute(QStringLiteral("text:style-name")))
                inner.prepend(e.attribute(QStringLiteral("text:style-name")));
            collect(e, inner, paraStyle, macro, pageCount);
        } else if (tag == QLatin1String("text:execute-macro")) {
            QString called = name;
            const QDomElement listener = child(child(e, QStringLiteral("office:event-listeners")),
                                               QStringLiteral("script:event-listener"));
            if (!listener.isNull())
                called = listener.attribute(QStringLiteral("script:macro-name"));
            collect(e, spanStyles, paraStyle, called.section(QLatin1Char('.'), -1), pageCount);
        } else if (tag == QLatin1String("text:page-count")) {
            collect(e, spanStyles, paraStyle, macro, true);
        } else {
            collect(e, spanStyles, paraStyle, macro, pageCount);
        }
    }
}

QString FlatDocument::property(const QString& family, const QString& name,
                               const QString& attribute) const {
    QString current = name;
    for (int depth = 0; depth < 32 && !current.isEmpty(); ++depth) {
        const auto style = styles_.value(family + QLatin1Char('/') + current);
        if (style.isNull()) break;
        const QDomElement properties = child(style, QStringLiteral("style:text-properties"));
        if (properties.hasAttribute(attribute)) return properties.attribute(attribute);
        current = style.attribute(QStringLiteral("style:parent-style-name"));
    }
    return {};
}

QString FlatDocument::runProperty(const QStringList& spanStyles, const QString& paraStyle,
                                  const QString& attribute) const {
    for (const auto& span : spanStyles) {
        const QString value = property(QStringLiteral("text"), span, attribute);
        if (!value.isEmpty()) return value;
    }
    QString value = property(QStringLiteral("paragraph"), paraStyle, attribute);
    if (value.isEmpty())
        value = child(defaultStyles_.value(QStringLiteral("paragraph")),
                      QStringLiteral("style:text-properties"))
                    .attribute(attribute);
    return value;
}

QString FlatDocument::fontFamily(const QString& fontName) const {
    if (fontName.isEmpty()) return {};
    return fontFaces_.value(fontName, fontName);
}

std::vector<FlatDocument::Page> FlatDocument::pages() const {
    std::vector<Page> result;
    const QDomElement root = document_.documentElement();
    const QDomElement layouts = child(root, QStringLiteral("office:automatic-styles"));
    const QDomElement masters = child(root, QStringLiteral("office:master-styles"));
    for (auto master = masters.firstChildElement(QStringLiteral("style:master-page"));
         !master.isNull();
         master = master.nextSiblingElement(QStringLiteral("style:master-page"))) {
        const QString layoutName = master.attribute(QStringLiteral("style:page-layout-name"));
        QDomElement layout;
        for (auto l = layouts.firstChildElement(QStringLiteral("style:page-layout")); !l.isNull();
             l = l.nextSiblingElement(QStringLiteral("style:page-layout")))
            if (l.attribute(QStringLiteral("style:name")) == layoutName) layout = l;
        const QDomElement p = child(layout, QStringLiteral("style:page-layout-properties"));
        Page page;
        page.masterName = master.attribute(QStringLiteral("style:name"));
        page.width = Twips(p.attribute(QStringLiteral("fo:page-width")));
        page.height = Twips(p.attribute(QStringLiteral("fo:page-height")));
        page.orientation = p.attribute(QStringLiteral("style:print-orientation"));
        page.left = Twips(p.attribute(QStringLiteral("fo:margin-left")));
        page.right = Twips(p.attribute(QStringLiteral("fo:margin-right")));
        page.top = Twips(p.attribute(QStringLiteral("fo:margin-top")));
        page.bottom = Twips(p.attribute(QStringLiteral("fo:margin-bottom")));
        // With a header or footer the office's page margin ends where the header starts; the
        // header's height, gap to the body included, lies between it and the body.
        const auto band = [&](const char* area, const char* style) {
            if (child(master, QLatin1String(area)).isNull()) return 0.0;
            const QDomElement hf = child(child(layout, QLatin1String(style)),
                                         QStringLiteral("style:header-footer-properties"));
            double height = Twips(hf.attribute(QStringLiteral("fo:min-height")));
            if (hf.hasAttribute(QStringLiteral("svg:height")))
                height = Twips(hf.attribute(QStringLiteral("svg:height")));
            return height;
        };
        page.top += band("style:header", "style:header-style");
        page.bottom += band("style:footer", "style:footer-style");
        result.push_back(page);
    }
    return result;
}

std::optional<FlatDocument::TextStyle> FlatDocument::style(const QString& displayName) const {
    const auto found = displayNames_.find(displayName);
    if (found == displayNames_.end()) return std::nullopt;
    const QString family = found->section(QLatin1Char('/'), 0, 0);
    const QString name = found->section(QLatin1Char('/'), 1);
    const auto get = [&](const char* attribute) {
        QString value = property(family, name, QLatin1String(attribute));
        if (value.isEmpty() && family == QLatin1String("paragraph"))
            value = child(defaultStyles_.value(family), QStringLiteral("style:text-properties"))
                        .attribute(QLatin1String(attribute));
        return value;
    };
    TextStyle result;
    result.family = family;
    result.font = fontFamily(get("style:font-name"));
    if (result.font.isEmpty()) result.font = unquote(get("fo:font-family"));
    const QString size = get("fo:font-size");
    if (size.endsWith(QLatin1String("pt"))) result.sizePt = size.chopped(2).toDouble();
    const QString weight = get("fo:font-weight");
    result.bold = weight == QLatin1String("bold") || weight.toInt() >= 600;
    result.upperCase = get("fo:text-transform") == QLatin1String("uppercase");
    result.color = get("fo:color").toLower();
    return result;
}

QStringList FlatDocument::bookmarks() const {
    QStringList names;
    for (const auto& item : items_)
        if (item.kind == Item::BookmarkStart || item.kind == Item::Bookmark) names << item.name;
    return names;
}

std::optional<std::vector<FlatDocument::Run>> FlatDocument::bookmarkRuns(
    const QString& name) const {
    std::optional<std::vector<Run>> runs;
    bool inside = false;
    for (const auto& item : items_) {
        if (item.name == name && item.kind == Item::Bookmark) return std::vector<Run>{};
        if (item.name == name && item.kind == Item::BookmarkStart) {
            runs.emplace();
            inside = true;
        } else if (item.name == name && item.kind == Item::BookmarkEnd) {
            return runs;
        } else if (inside && item.kind == Item::Text) {
            runs->push_back(item.run);
        }
    }
    return runs;
}

QString FlatDocument::Text(const std::vector<Run>& runs) {
    QString text;
    for (const auto& run : runs) text += run.text;
    return text;
}

QString FlatDocument::textFrom(const QString& name, int length) const {
    QString text;
    bool started = false;
    for (const auto& item : items_) {
        if (!started) {
            started = item.name == name &&
                      (item.kind == Item::Bookmark || item.kind == Item::BookmarkStart);
        } else if (item.kind == Item::Text) {
            text += item.run.text;
            if (text.size() >= length) break;
        }
    }
    return text.left(length);
}

QString FlatDocument::bodyText() const {
    QString text;
    for (const auto& item : items_)
        if (item.kind == Item::Text) text += item.run.text;
    return text;
}

std::vector<FlatDocument::Run> FlatDocument::pageCountFields() const {
    std::vector<Run> result;
    for (const auto& item : items_)
        if (item.kind == Item::Text && item.run.pageCount) result.push_back(item.run);
    return result;
}

}  // namespace velmora::test
