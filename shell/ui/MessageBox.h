#pragma once

#include "shell/ScopedOverride.h"

#include <QString>
#include <functional>

namespace velmora {

// Every modal message the program shows passes through ShowMessage, so that tests can
// answer the boxes instead of a person.
enum class MessageIcon { None, Warning };
enum class MessageButtons { Ok, YesNo };
enum class MessageAnswer { Ok, Yes, No };

struct MessageRequest {
    QString title;  // empty: the application title
    QString text;
    MessageIcon icon = MessageIcon::None;
    MessageButtons buttons = MessageButtons::Ok;
};

// Shows the box modally and returns the user's answer. From any other thread the box is shown
// on the application's thread, and the call waits for the answer there. Once the program is
// ending (shell/ProgramEnding.h) no box is shown: the answer is OK, or No.
MessageAnswer ShowMessage(const MessageRequest& request);

using MessageResponder = std::function<MessageAnswer(const MessageRequest&)>;

// Replaces the real boxes for as long as the object lives.
class ScopedMessageResponder : public ScopedOverride<MessageResponder> {
public:
    explicit ScopedMessageResponder(MessageResponder responder);
};

}  // namespace velmora
