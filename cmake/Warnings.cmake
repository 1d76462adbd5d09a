# Project-wide warning flags, applied through tovik_warnings to every target we own.
add_library(tovik_warnings INTERFACE)
target_compile_options(tovik_warnings INTERFACE
    -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wcast-align
    -Woverloaded-virtual -Wnull-dereference -Wformat=2 -Wimplicit-fallthrough)
if(TOVIK_WERROR)
    target_compile_options(tovik_warnings INTERFACE -Werror)
endif()
