#include "MessageBox.h"

#include "shell/ProgramEnding.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QMessageBox>
#include <QThread>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <memory>
#include <mutex>
#include <optional>

namespace velmora {
namespace {

MessageResponder& responder() {
    static MessageResponder current;
    return current;
}

// Boxes asked for from other threads wait here for their answers.
struct Handoff {
    std::mutex mutex;
    std::condition_variable answered;
};

Handoff& handoff() {
    static Handoff shared;
    return shared;
}

MessageAnswer givenUp(const MessageRequest& request) {
    std::fprintf(stderr, "%s\n", qUtf8Printable(request.text));
    return request.buttons == MessageButtons::YesNo ? MessageAnswer::No : MessageAnswer::Ok;
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

MessageAnswer showHere(const MessageRequest& request) {
    if (ProgramEnding()) return givenUp(request);
    return responder() ? responder()(request) : showBox(request);
}

// Hands the box to the application's thread and waits for its answer, or for the program to
// give up its boxes.
MessageAnswer showFromAnotherThread(const MessageRequest& request) {
    struct Asked {
        std::optional<MessageAnswer> answer;
    };
    const auto asked = std::make_shared<Asked>();
    Handoff& h = handoff();
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [asked, request] {
            const MessageAnswer answer = showHere(request);
            const std::lock_guard lock(handoff().mutex);
            asked->answer = answer;
            handoff().answered.notify_all();
        },
        Qt::QueuedConnection);
    std::unique_lock lock(h.mutex);
    // The program may end meanwhile, and then nobody answers: it is looked at now and then.
    while (!asked->answer && !ProgramEnding())
        h.answered.wait_for(lock, std::chrono::milliseconds(50));
    if (asked->answer) return *asked->answer;
    lock.unlock();
    return givenUp(request);
}

}  // namespace

MessageAnswer ShowMessage(const MessageRequest& request) {
    const QCoreApplication* app = QCoreApplication::instance();
    if (app && QThread::currentThread() != app->thread()) return showFromAnotherThread(request);
    return showHere(request);
}

ScopedMessageResponder::ScopedMessageResponder(MessageResponder replacement)
    : ScopedOverride(responder(), std::move(replacement)) {}

}  // namespace velmora
