# Sourced by tools/build.sh and tools/make-deb.sh: exports Debian's build flags, with every
# hardening feature on, so that the program the tests run is built as its package is.
#   debian_flags package   as the package's own build: no debugging information (it is stripped)
#   debian_flags develop   with line tables (gdb's backtraces name functions, files and
#                          lines), and paths left as they are for gdb; VELMORA_DEBUG_INFO=full
#                          for all debugging information (variables too), a quarter more time
#                          to build the program's libraries
debian_flags() {
  local options="hardening=+all"
  case $1 in
    package) export DEB_CXXFLAGS_MAINT_STRIP=-g ;;
    develop)
      options="$options reproducible=-fixfilepath,-fixdebugpath"
      if [ "${VELMORA_DEBUG_INFO:-}" != full ]; then
        export DEB_CXXFLAGS_MAINT_STRIP=-g DEB_CXXFLAGS_MAINT_APPEND=-g1
      fi ;;
  esac
  eval "$(DEB_BUILD_MAINT_OPTIONS=$options dpkg-buildflags --export=sh)"
  export CXXFLAGS="$CXXFLAGS $CPPFLAGS"
}
