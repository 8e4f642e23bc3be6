# Sourced by the build scripts. Compiled objects are cached by their sources, relative to the clone, so that
# another clone of the same sources (a CI run, a second working copy) compiles only what differs.
if command -v ccache >/dev/null; then
    export CMAKE_CXX_COMPILER_LAUNCHER=${CMAKE_CXX_COMPILER_LAUNCHER:-ccache} CCACHE_BASEDIR=$PWD CCACHE_NOHASHDIR=1
fi
