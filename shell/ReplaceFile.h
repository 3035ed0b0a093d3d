#pragma once

#include <QString>
#include <functional>

namespace velmora {

// Makes `target` anew: `write` is given the name of a new, empty file beside the target (in
// the same folder, hidden, with the target's permissions or the usual ones for a new file)
// and fills it. Only when `write` returns and the new file holds something is it renamed
// over the target, in one step; an existing target survives any failure, and the new file
// is removed (by the next start, when the program ends while `write` runs). Throws what `write`
// throws, or Failure with the reason.
void ReplaceFile(const QString& target, const std::function<void(const QString& newFile)>& write);

}  // namespace velmora
