#!/usr/bin/env bash
# Fails when a media-kit library refers to an FFmpeg or SDL symbol directly (instead of
# through the loader's entry points) or when a program links an FFmpeg or SDL library.
set -u
pattern='^(av_|avcodec_|avformat_|avfilter_|avdevice_|avio_|avsubtitle_|sws_|swr_|swresample_|swscale_|SDL_)'
status=0
libs=()
exes=()
mode=lib
for arg in "$@"; do
    if [ "$arg" = "--exe" ]; then mode=exe; continue; fi
    if [ "$mode" = lib ]; then libs+=("$arg"); else exes+=("$arg"); fi
done
for lib in "${libs[@]}"; do
    bad=$(nm -u --format=posix "$lib" 2>/dev/null | awk '{print $1}' | grep -E "$pattern" | sort -u)
    if [ -n "$bad" ]; then
        echo "FAIL: $lib refers to media library symbols directly:"; echo "$bad" | head -20
        status=1
    else
        echo "ok: $lib has no direct media library references"
    fi
done
for exe in "${exes[@]}"; do
    linked=$(ldd "$exe" | grep -E 'lib(avcodec|avformat|avutil|avfilter|avdevice|swscale|swresample|SDL2)')
    if [ -n "$linked" ]; then
        echo "FAIL: $exe links media libraries:"; echo "$linked"; status=1
    else
        echo "ok: $exe links no media library"
    fi
done
exit $status
