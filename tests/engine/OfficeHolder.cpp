// Connects to an office and waits to be killed: the program whose death the lifecycle test
// watches. Prints "<office process id> <profile slot>" once connected (and, given a document,
// once that is open for editing).
#include "coversheet/engine-libreoffice/OfficeConnection.h"

#include <unistd.h>
#include <QCoreApplication>
#include <cstdio>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: %s <profile folder> [document]\n", argv[0]);
        return 2;
    }
    velmora::office::StartOptions options;
    options.profileFolder = QString::fromLocal8Bit(argv[1]);
    options.fontConfigFile = QCoreApplication::applicationDirPath() + "/velmora-fonts.conf";
    try {
        velmora::office::OfficeConnection word(options);
        if (argc == 3) word.documentsOpen(QString::fromLocal8Bit(argv[2]), false);
        std::printf("%d %d\n", int(word.officeProcessId()), word.profileSlot());
        std::fflush(stdout);
        for (;;) ::pause();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
}
