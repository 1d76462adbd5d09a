# The Debian package (`cpack -G DEB` in the build folder). The FFmpeg and SDL libraries are
# loaded at run time, so no linker sees them: their packages are listed here by hand, named
# after the sonames of the headers the build used.
set(tovik_ffmpeg_packages)
foreach(library avcodec avformat avutil swscale swresample avfilter avdevice)
    string(REGEX MATCH "^[0-9]+" major "${TOVIK_FFMPEG_lib${library}_VERSION}")
    if(NOT major)
        message(FATAL_ERROR "No version for lib${library}: ${TOVIK_FFMPEG_lib${library}_VERSION}")
    endif()
    list(APPEND tovik_ffmpeg_packages "lib${library}${major} (>= 7:5.1)")
endforeach()
list(JOIN tovik_ffmpeg_packages ", " tovik_ffmpeg_depends)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tovik-converter)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Tovik developers")
set(CPACK_PACKAGE_CONTACT "The Tovik developers <support@tovik.example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "desktop video converter")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://tovik.example.org/")
# CPack puts the summary first and indents these lines.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Converts AVI and other video files to QuickTime MOV, ten other video\nformats and seven audio formats, with trimming, cropping, colour effects,\nwatermarks and a preview with sound. tovik-cli converts from scripts\nand batch schedulers.")
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "${tovik_ffmpeg_depends}, libsdl2-2.0-0 (>= 2.0.12), libqt6widgets6 (>= 6.4), libqt6gui6 (>= 6.4), libqt6network6 (>= 6.4), libqt6core6 (>= 6.4), qt6-qpa-plugins, libc6 (>= 2.34), libstdc++6 (>= 12), libgcc-s1 (>= 3.0)")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "ffmpeg")
include(CPack)
