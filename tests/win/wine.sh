# Runs a Windows program under Wine in the build tree's own prefix, with no installers and
# no crash dialog; with no program, makes that prefix once (about 14 s and 700 MB; a stamp
# written last marks it whole). usage: wine.sh BUILD_DIR [PROGRAM [ARGUMENTS...]]
build=$(cd "$1" && pwd) || exit 1
shift
export WINEPREFIX="$build/wine" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
[ $# -gt 0 ] && exec wine "$@"
[ -f "$WINEPREFIX/kestrin-ready" ] && exit 0
rm -rf "$WINEPREFIX"
log=$build/wine-prefix.log
fail() { echo "FAIL: $* (packages wine, wine64: make windows installs them)"; exit 1; }
env -u DISPLAY wineboot -i >"$log" 2>&1 || fail "wineboot: $(tail -3 "$log")"
reg() { wine reg add "$@" /f >>"$log" 2>&1 || fail "wine reg add $*"; }
# Windows' faces as their nearest Linux faces (Wine's Consolas is not monospaced); no audio.
reg 'HKCU\Software\Wine\Fonts\Replacements' /v Consolas /t REG_SZ /d 'DejaVu Sans Mono'
reg 'HKCU\Software\Wine\Fonts\Replacements' /v 'Bahnschrift SemiBold' /t REG_SZ \
  /d 'DejaVu Sans Condensed'
reg 'HKCU\Software\Wine\Drivers' /v Audio /t REG_SZ /d ''
wineserver -w
touch "$WINEPREFIX/kestrin-ready"
