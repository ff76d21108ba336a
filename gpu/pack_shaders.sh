#!/bin/sh
# Joins the shader pieces, one NUL after each, into a C++ source. The text is
# stored plain: the whole show is LZMA-packed, and packing the text once with
# the code is 1 KB smaller than packing it twice.
# usage: pack_shaders.sh TEXT_OUT CPP_OUT piece...
set -e
text=$1; cpp=$2; shift 2
: >"$text"
for piece in "$@"; do cat "$piece" >>"$text"; printf '\0' >>"$text"; done
{
  echo "// Generated from gpu/glsl by pack_shaders.sh."
  echo "extern const unsigned char shaderBlob[] = {"
  od -An -v -tx1 "$text" | sed 's/ *\([0-9a-f][0-9a-f]\)/0x\1,/g'
  echo "};"
  echo "extern const int shaderTextBytes = $(stat -c %s "$text");"
} >"$cpp"
