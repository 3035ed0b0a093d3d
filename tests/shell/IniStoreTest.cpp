// The program's own writer of the settings file against QSettings, which reads it at start,
// and which other programs and earlier versions write.
#include "TestSupport.h"
#include "shell/IniStore.h"

#include <gtest/gtest.h>
#include <QFile>
#include <QRandomGenerator>
#include <QSettings>

namespace velmora {
namespace {

QString StoreFile(const char* name) {
    const QString file = test::TestFolder() + QLatin1Char('/') + QLatin1String(name);
    QFile::remove(file);
    return file;
}

// Texts that QSettings would read as something else when written bare: lists, typed values,
// comments, escapes, surrounding blanks, controls, characters outside the BMP and halves of
// one; and random mixtures of them.
QStringList AwkwardTexts() {
    QStringList texts = {
        QString(),
        QStringLiteral(" lead and trail "),
        QStringLiteral("a,b"),
        QStringLiteral("a;b # c"),
        QStringLiteral("@Variant(x)"),
        QStringLiteral("@@"),
        QStringLiteral("x=y"),
        QStringLiteral("\"quoted\""),
        QStringLiteral("back\\slash \\x41"),
        QStringLiteral("[Section]"),
        QStringLiteral("line\r\nbreaks\r\n\r\n"),
        QStringLiteral("\t\v\f\b\a\x1b") + QChar(0) + QStringLiteral("1f"),
        QStringLiteral("Zoë € 漢字 😀"),
        QString(QChar(0xD800)) + QStringLiteral("abc") + QChar(0xDFFF),
        QString(QChar(0xFFFE)) + QChar(0xFFFF) + QChar(0x7F) + QStringLiteral("F")};
    const char16_t special[] = u"0aF9\"\\,;=@# \r\n";
    auto* random = QRandomGenerator::global();
    for (int n = 0; n < 500; ++n) {
        QString text;
        for (int i = random->bounded(24); i > 0; --i) {
            switch (random->bounded(5)) {
                case 0:
                    text += QChar(char16_t(random->bounded(0x20)));
                    break;
                case 1:
                    text += QChar(special[random->bounded(int(std::size(special)) - 1)]);
                    break;
                case 2:
                    text += QChar(char16_t(random->bounded(0x10000)));
                    break;
                default:
                    text += QChar(char16_t(0x20 + random->bounded(0x5f)));
                    break;
            }
        }
        texts << text;
    }
    return texts;
}

TEST(IniStore, QSettingsReadsBackExactlyWhatWasWritten) {
    const QString file = StoreFile("exact.conf");
    IniStore store(file);
    const QStringList texts = AwkwardTexts();
    for (qsizetype i = 0; i < texts.size(); ++i)
        ASSERT_TRUE(store.write(QStringLiteral("Velmora/k%1").arg(i), texts[i]));
    const QSettings settings(file, QSettings::IniFormat);
    for (qsizetype i = 0; i < texts.size(); ++i) {
        const QVariant value = settings.value(QStringLiteral("Velmora/k%1").arg(i));
        EXPECT_EQ(value.typeId(), QMetaType::QString) << i;
        EXPECT_EQ(value.toString(), texts[i]) << i << ": " << texts[i].toUtf8().toHex().constData();
    }
}

TEST(IniStore, WritesOfOthersAreKeptAndSeen) {
    const QString file = StoreFile("shared.conf");
    {
        QSettings other(file, QSettings::IniFormat);
        other.setValue(QStringLiteral("Velmora/txtFor"), QStringLiteral("Martin"));
        other.setValue(QStringLiteral("Other/key"), QStringLiteral("kept"));
    }
    IniStore store(file);
    EXPECT_FALSE(store.read(QStringLiteral("Velmora/txtFor"), {}));  // not read in yet
    ASSERT_TRUE(store.write(QStringLiteral("Velmora/txtFrom"), QStringLiteral("Ana")));
    EXPECT_EQ(store.read(QStringLiteral("Velmora/txtFor"), {}), QStringLiteral("Martin"));
    EXPECT_EQ(store.read(QStringLiteral("Velmora/none"), QStringLiteral("default")),
              QStringLiteral("default"));
    {
        QSettings other(file, QSettings::IniFormat);
        EXPECT_EQ(other.value(QStringLiteral("Other/key")).toString(), QStringLiteral("kept"));
        EXPECT_EQ(other.value(QStringLiteral("Velmora/txtFrom")).toString(), QStringLiteral("Ana"));
        other.setValue(QStringLiteral("Velmora/txtFor"), QStringLiteral("Martin Hale, Esq."));
    }
    // Changed behind its back: not answered from what it knew, and read in before a write.
    EXPECT_FALSE(store.read(QStringLiteral("Velmora/txtFor"), {}));
    ASSERT_TRUE(store.write(QStringLiteral("Velmora/txtSubj"), QStringLiteral("Hello")));
    EXPECT_EQ(store.read(QStringLiteral("Velmora/txtFor"), {}),
              QStringLiteral("Martin Hale, Esq."));

    // What it does not reproduce is left to QSettings.
    {
        QSettings other(file, QSettings::IniFormat);
        other.setValue(QStringLiteral("Velmora/list"), QStringList{"a", "b"});
    }
    EXPECT_FALSE(store.write(QStringLiteral("Velmora/txtSubj"), QStringLiteral("Hi")));
    EXPECT_FALSE(store.write(QStringLiteral("Velmora/with space"), QStringLiteral("x")));
}

// QSettings keeps what it read and reads again only when the file's size or time changed:
// quick rewrites of the same length must still be seen by it.
TEST(IniStore, QSettingsInThisProcessSeesEveryRewrite) {
    const QString file = StoreFile("quick.conf");
    IniStore store(file);
    for (int i = 0; i < 50; ++i) {
        const QString value = QString::number(i % 10);
        ASSERT_TRUE(store.write(QStringLiteral("Velmora/TabControl1"), value));
        EXPECT_EQ(
            QSettings(file, QSettings::IniFormat).value(QStringLiteral("Velmora/TabControl1")),
            value)
            << i;
    }
}

}  // namespace
}  // namespace velmora
