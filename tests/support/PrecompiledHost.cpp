// The program that makes the test programs' precompiled header (tests/CMakeLists.txt); it is
// never run.
int main() {
    return 0;
}
