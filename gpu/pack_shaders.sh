#!/bin/sh
# Joins the shader pieces (one NUL after each), compresses the text as raw
# LZMA and writes a C++ source holding the compressed bytes.
# usage: pack_shaders.sh TEXT_OUT CPP_OUT piece...
set -e
text=$1; cpp=$2; shift 2
: >"$text"
for piece in "$@"; do cat "$piece" >>"$text"; printf '\0' >>"$text"; done
xz --format=raw --lzma1=preset=9e,dict=64KiB,lc=3,lp=0,pb=0 -c "$text" >"$text.lzma"
{
  echo "// Generated from gpu/glsl by pack_shaders.sh."
  echo "extern const unsigned char shaderBlob[] = {"
  od -An -v -tx1 "$text.lzma" | sed 's/ *\([0-9a-f][0-9a-f]\)/0x\1,/g'
  echo "};"
  echo "extern const int shaderBlobBytes = $(stat -c %s "$text.lzma");"
  echo "extern const int shaderTextBytes = $(stat -c %s "$text");"
} >"$cpp"
