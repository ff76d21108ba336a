# Runs a Windows program under Wine in the build tree's own prefix, made by
# wine_prefix.sh. usage: wine.sh BUILD_DIR PROGRAM [ARGUMENTS...]
build=$(cd "$1" && pwd)
shift
export WINEPREFIX="$build/wine" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
exec wine "$@"
