#include "WordCheck.h"

namespace velmora {

QString WordMissingMessage() { return {}; }

bool CheckWordAvailable() { return true; }

}  // namespace velmora
