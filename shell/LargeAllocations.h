#pragma once

namespace velmora {

// Keeps large freed blocks in the process for the next allocation instead of handing them
// back to the system. A text field lays a long paragraph out again on every key into arrays
// of tens of megabytes for a megabyte of text; fresh from the system, each has to be faulted
// in and zeroed page by page, which was a third of the key's time. All threads share one heap.
// Call it once, first thing, before any thread is started.
void ReuseLargeAllocations();

}  // namespace velmora
