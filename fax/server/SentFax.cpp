#include "SentFax.h"

namespace velmora {

FaxJobState FaxJobStateFromLetter(QChar letter) {
    switch (letter.unicode()) {
        case 'T':
            return FaxJobState::Suspended;
        case 'P':
            return FaxJobState::Pending;
        case 'S':
            return FaxJobState::Sleeping;
        case 'B':
            return FaxJobState::Blocked;
        case 'W':
            return FaxJobState::Waiting;
        case 'R':
            return FaxJobState::Sending;
        case 'D':
            return FaxJobState::Done;
        case 'F':
            return FaxJobState::Failed;
        default:
            return FaxJobState::Unknown;
    }
}

}  // namespace velmora
