#include "MessageBox.h"

#include <QGuiApplication>
#include <QMessageBox>

namespace velmora {
namespace {

MessageResponder& responder() {
    static MessageResponder current;
    return current;
}

MessageAnswer showBox(const MessageRequest& request) {
    QMessageBox box(
        request.icon == MessageIcon::Warning ? QMessageBox::Warning : QMessageBox::NoIcon,
        request.title.isEmpty() ? QGuiApplication::applicationDisplayName() : request.title,
        request.text,
        request.buttons == MessageButtons::YesNo ? QMessageBox::Yes | QMessageBox::No
                                                 : QMessageBox::Ok);
    const int answer = box.exec();
    if (request.buttons == MessageButtons::Ok) return MessageAnswer::Ok;
    return answer == QMessageBox::Yes ? MessageAnswer::Yes : MessageAnswer::No;
}

}  // namespace

MessageAnswer ShowMessage(const MessageRequest& request) {
    return responder() ? responder()(request) : showBox(request);
}

ScopedMessageResponder::ScopedMessageResponder(MessageResponder replacement)
    : ScopedOverride(responder(), std::move(replacement)) {}

}  // namespace velmora
