#pragma once

#include <functional>

namespace velmora {

class Form1;

// The whole program: the application, the editor's start-up and its event loop. `shown`, when
// set, is called once the editor has been shown, before the event loop runs (the user-wait
// benchmark drives the program through it). Returns the program's exit code.
int RunProgram(int argc, char* argv[], const std::function<void(Form1&)>& shown = {});

}  // namespace velmora
