// bench-recipients: makes a phone book of 10,000 entries (names with and without accents,
// Greek and Japanese ones among them, companies, fax numbers) and searches it as the user
// types: every keystroke of a few names, companies and numbers is a search for the first 50
// by name, as the recipient field asks. Prints one line per keystroke: its time in ms.
// tools/bench-recipients.sh takes the median.
//   bench-recipients [--runs N] [--entries N]

#include "recipients/PhoneBook.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdio>
#include <exception>
#include <vector>

namespace {

std::vector<velmora::Recipient> Entries(int count) {
    const QStringList given{
        QStringLiteral("Ann"),    QStringLiteral("Björn"), QStringLiteral("Chloé"),
        QStringLiteral("Dmitri"), QStringLiteral("Émile"), QStringLiteral("Fatima"),
        QStringLiteral("Ελένη"),  QStringLiteral("Håkon"), QStringLiteral("Ines"),
        QStringLiteral("José"),   QStringLiteral("Kenji"), QStringLiteral("Łucja")};
    const QStringList family{
        QStringLiteral("Lee"),      QStringLiteral("O'Brien"), QStringLiteral("Müller"),
        QStringLiteral("Ångström"), QStringLiteral("Novak"),   QStringLiteral("Παπαδοπούλου"),
        QStringLiteral("Silva"),    QStringLiteral("Tanaka"),  QStringLiteral("Weiß"),
        QStringLiteral("Zhou"),     QStringLiteral("Kowalski")};
    const QStringList companies{QStringLiteral("Acme Shipping"), QStringLiteral("Brine & Sons"),
                                QStringLiteral("Société Générale des Eaux"),
                                QStringLiteral("株式会社テスト"),
                                QStringLiteral("Nordic Timber AB")};
    std::vector<velmora::Recipient> entries;
    for (int i = 0; i < count; ++i) {
        velmora::Recipient entry;
        entry.name = i % 97 == 0
                         ? QStringLiteral("山田太郎%1").arg(i)
                         : given[i % given.size()] + QLatin1Char(' ') +
                               family[(i / given.size()) % family.size()] + QString::number(i);
        entry.company = companies[i % companies.size()] + QStringLiteral(" %1").arg(i / 50);
        entry.fax = QStringLiteral("+1 (555) %1-%2").arg(100 + i % 900).arg(1000 + i, 4);
        entry.groups = {QStringLiteral("Group %1").arg(i % 20)};
        entries.push_back(entry);
    }
    return entries;
}

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    int runs = 5, count = 10000;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); ++i) {
        if (args[i] == QLatin1String("--runs"))
            runs = args[++i].toInt();
        else if (args[i] == QLatin1String("--entries"))
            count = args[++i].toInt();
    }
    try {
        QTemporaryDir folder;
        if (!folder.isValid()) throw std::runtime_error("no temporary folder");
        velmora::PhoneBook book(folder.filePath(QStringLiteral("velmora")));
        book.add(Entries(count));
        const QStringList typed{QStringLiteral("emile ang"), QStringLiteral("mueller"),
                                QStringLiteral("ελενη παπ"), QStringLiteral("acme 1"),
                                QStringLiteral("555 123-1"), QStringLiteral("テスト"),
                                QStringLiteral("zhou9")};
        for (int run = 0; run < runs; ++run) {
            for (const QString& text : typed) {
                for (int length = 1; length <= text.size(); ++length) {
                    QElapsedTimer timer;
                    timer.start();
                    const auto found = book.search(text.left(length), 50);
                    std::printf("%.3f\n", timer.nsecsElapsed() / 1e6);
                    (void)found;
                }
            }
        }
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "bench-recipients: %s\n", failure.what());
        return 1;
    }
    return 0;
}
