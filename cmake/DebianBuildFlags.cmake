# The Linux programs, which the Debian package carries, are built with the flags Debian builds
# its own packages with (dpkg-buildflags), every hardening feature on: fortified string and
# memory functions, the stack protector, format checks, and relocations made read-only and
# bound before the program starts. Optimisation and debug information stay the build type's,
# and file names stay whole: the tests find their data next to __FILE__.
find_program(KELVRA_DPKG_BUILDFLAGS dpkg-buildflags REQUIRED)

function(kelvra_debian_flags variable result)
    execute_process(
        COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
                ${KELVRA_DPKG_BUILDFLAGS} --get ${variable}
        OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
    separate_arguments(flags UNIX_COMMAND "${flags}")
    list(FILTER flags EXCLUDE REGEX "^(-g|-O.*|-ffile-prefix-map=.*)$")
    set(${result} ${flags} PARENT_SCOPE)
endfunction()

kelvra_debian_flags(CPPFLAGS KELVRA_DEBIAN_CPPFLAGS)
kelvra_debian_flags(CXXFLAGS KELVRA_DEBIAN_CXXFLAGS)
kelvra_debian_flags(LDFLAGS KELVRA_DEBIAN_LDFLAGS)
add_compile_options(${KELVRA_DEBIAN_CPPFLAGS} ${KELVRA_DEBIAN_CXXFLAGS})
add_link_options(${KELVRA_DEBIAN_LDFLAGS})
