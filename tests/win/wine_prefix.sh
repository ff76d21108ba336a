# Makes the build tree's Wine prefix once: about 14 s and 700 MB. A stamp
# written last marks it complete, so an interrupted run starts over.
# usage: wine_prefix.sh BUILD_DIR
prefix=$1/wine
log=$1/wine-prefix.log
fail() { echo "FAIL: $*"; exit 1; }
[ -f "$prefix/kestrin-ready" ] && exit 0
command -v wine >/dev/null || fail "wine missing (packages wine, wine64: make windows installs them)"
rm -rf "$prefix"
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
env -u DISPLAY wineboot -i >"$log" 2>&1 || fail "wineboot: $(tail -3 "$log")"
reg() { wine reg add "$@" /f >>"$log" 2>&1 || fail "wine reg add $*"; }
# The faces Windows has, as their nearest Linux faces: Consolas is monospaced
# (Wine's own stand-in would not be), Bahnschrift SemiBold a condensed face.
reg 'HKCU\Software\Wine\Fonts\Replacements' /v Consolas /t REG_SZ /d 'DejaVu Sans Mono'
reg 'HKCU\Software\Wine\Fonts\Replacements' /v 'Bahnschrift SemiBold' /t REG_SZ \
  /d 'DejaVu Sans Condensed'
# No audio driver, as on a machine without sound: the same on every machine.
reg 'HKCU\Software\Wine\Drivers' /v Audio /t REG_SZ /d ''
wineserver -w
touch "$prefix/kestrin-ready"
echo "Wine prefix ready: $prefix"
