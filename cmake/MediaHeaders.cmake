# The media kit compiles against the FFmpeg and SDL2 headers but never links their
# libraries: every entry point is bound at run time by the loader. These interface
# targets therefore carry include directories and definitions only.
find_package(PkgConfig REQUIRED)
pkg_check_modules(TOVIK_FFMPEG REQUIRED
    libavcodec>=59 libavformat>=59 libavutil>=57 libswscale>=6 libswresample>=4
    libavfilter>=8 libavdevice>=59)
pkg_check_modules(TOVIK_SDL2 REQUIRED sdl2>=2.0)

add_library(tovik_ffmpeg_headers INTERFACE)
target_include_directories(tovik_ffmpeg_headers SYSTEM INTERFACE ${TOVIK_FFMPEG_INCLUDE_DIRS})
target_compile_definitions(tovik_ffmpeg_headers INTERFACE __STDC_CONSTANT_MACROS)

add_library(tovik_sdl_headers INTERFACE)
target_include_directories(tovik_sdl_headers SYSTEM INTERFACE ${TOVIK_SDL2_INCLUDE_DIRS})
target_compile_options(tovik_sdl_headers INTERFACE ${TOVIK_SDL2_CFLAGS_OTHER})
