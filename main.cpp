#include "editor/ProgramMain.h"

int main(int argc, char* argv[]) {
    return velmora::RunProgram(argc, argv);
}
