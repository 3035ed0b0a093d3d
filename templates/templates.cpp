// The templates library carries only resources (see CMakeLists.txt); a static library still
// needs one translation unit of its own.
