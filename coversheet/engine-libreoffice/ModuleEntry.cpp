// The office module's one object: the program loads the module as a Qt plugin, checks that it
// offers this contract's interface, lends it its services and asks it for connections.
#include "OfficeConnection.h"

#include "coversheet/office/OfficeModule.h"
#include "shell/RunRecord.h"

#include <QObject>

namespace velmora::office {

class LibreOfficeModule final : public QObject, public OfficeModule {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID VELMORA_OFFICE_MODULE_IID)
    Q_INTERFACES(velmora::office::OfficeModule)

public:
    void lend(HostServices services) override {
        host_ = std::move(services);
        // The files this module's copy of the shell notes (AtomicFile) are the program's.
        SendFileNotesTo(host_.noteFile);
    }

    std::unique_ptr<WordConnection> connect(const StartOptions& options, QString& error) override {
        try {
            return std::make_unique<OfficeConnection>(options, host_.workGivenUp);
        } catch (const std::exception& failure) {
            error = QString::fromUtf8(failure.what());
        } catch (const com::sun::star::uno::Exception& failure) {
            error = FromOffice(failure.Message);
        } catch (...) {
            error = QStringLiteral("Unknown error");
        }
        return nullptr;
    }

private:
    HostServices host_;
};

}  // namespace velmora::office

#include "ModuleEntry.moc"
