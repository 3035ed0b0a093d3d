// The office module's entry point: the program finds it by name after loading the module.
#include "OfficeConnection.h"

extern "C" __attribute__((visibility("default"))) velmora::WordConnection* velmora_office_connect(
    const velmora::office::StartOptions& options, QString& error) {
    try {
        return std::make_unique<velmora::office::OfficeConnection>(options).release();
    } catch (const std::exception& failure) {
        error = QString::fromUtf8(failure.what());
    } catch (const com::sun::star::uno::Exception& failure) {
        error = velmora::office::FromOffice(failure.Message);
    } catch (...) {
        error = QStringLiteral("Unknown error");
    }
    return nullptr;
}
