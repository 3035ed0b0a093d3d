#pragma once

namespace velmora {

// Tab strips (QTabBar) as assistive technology should find them: the strip takes the name
// given to it (setAccessibleName; its current tab's name when it has none), each tab its own
// text, and a tab says it has the focus only while its strip has it. Qt's own reading names
// the strip after its current tab and has that tab say "focused" all the time, with the focus
// elsewhere and in a hidden window too. For the whole program; installing again does nothing.
void InstallTabStripAccessibility();

}  // namespace velmora
