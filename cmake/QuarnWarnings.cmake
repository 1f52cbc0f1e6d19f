# Warnings on the project's own code; third-party headers come in as SYSTEM. QUARN_WERROR makes
# them errors: the CMake presets (and so CI and every developer build) turn it on; a plain build,
# such as a packager's with another compiler version, leaves it off, so that a warning that
# compiler adds (or a false one it gives at its optimisation level) cannot stop the build.
option(QUARN_WERROR "Treat warnings on the project's own code as errors" OFF)

function(quarn_warnings target)
  target_compile_options(${target} PRIVATE
    -Wall -Wextra -Wshadow -Wpedantic -Wcast-align -Wformat=2 -Wimplicit-fallthrough
    $<$<COMPILE_LANGUAGE:CXX>:-Wnon-virtual-dtor -Wold-style-cast -Woverloaded-virtual>
    $<$<BOOL:${QUARN_WERROR}>:-Werror>)
endfunction()
