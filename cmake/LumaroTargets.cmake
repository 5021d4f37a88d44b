# Helpers that put the suite's programs and libraries where the installation tree wants them,
# and that register tests with the environment every test runs in.
include(GNUInstallDirs)

# Source revision for the build text of the about dialog.
execute_process(COMMAND git rev-parse --short HEAD
    WORKING_DIRECTORY "${PROJECT_SOURCE_DIR}"
    OUTPUT_VARIABLE LUMARO_SOURCE_REVISION OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
if(NOT LUMARO_SOURCE_REVISION)
    set(LUMARO_SOURCE_REVISION "unknown")
endif()

# Compile bytes-only code without implicit QByteArray <-> QString conversions.
function(lumaro_bytes_only target)
    target_compile_definitions(${target} PRIVATE QT_NO_CAST_FROM_ASCII QT_NO_CAST_TO_ASCII)
endfunction()

# lumaro_program_strings(<target> <file>): `file` becomes the target's program string table
# (":/lumaro/strings/program.txt").
function(lumaro_program_strings target file)
    set_source_files_properties("${file}" PROPERTIES QT_RESOURCE_ALIAS program.txt)
    qt_add_resources(${target} ${target}_program_strings PREFIX "/lumaro/strings" FILES "${file}")
endfunction()

# lumaro_program(<target> [SUBDIR modules|tools]): an executable in build/dist[/SUBDIR],
# finding libqmc3.so next to the program directory.
function(lumaro_program target)
    cmake_parse_arguments(P "" "SUBDIR" "" ${ARGN})
    if(P_SUBDIR)
        set(dir "${LUMARO_DIST_DIR}/${P_SUBDIR}")
        set(rpath "$ORIGIN/..")
        set(dest "${P_SUBDIR}")
    else()
        set(dir "${LUMARO_DIST_DIR}")
        set(rpath "$ORIGIN")
        set(dest ".")
    endif()
    # The build tree is an installation tree: one run path for both, and only this entry (CMake's
    # own build run path would end with an empty entry, the current directory).
    set_target_properties(${target} PROPERTIES
        RUNTIME_OUTPUT_DIRECTORY "${dir}"
        BUILD_WITH_INSTALL_RPATH ON
        INSTALL_RPATH "${rpath}")
    install(TARGETS ${target} RUNTIME DESTINATION "${dest}")
endfunction()

set(LUMARO_TEST_ROOT "${CMAKE_BINARY_DIR}/test-sandbox")

# lumaro_add_test(<name> LABEL unit|gui|integration SOURCES ... [LIBRARIES ...])
# Each test gets a private registry file, temporary directory and UTF-8 locale.
function(lumaro_add_test name)
    cmake_parse_arguments(T "" "LABEL" "SOURCES;LIBRARIES" ${ARGN})
    if(NOT T_LABEL)
        set(T_LABEL unit)
    endif()
    add_executable(${name} ${T_SOURCES})
    target_link_libraries(${name} PRIVATE Qt6::Test lumaro_testsupport ${T_LIBRARIES})
    add_test(NAME ${name} COMMAND ${name})
    set(sandbox "${LUMARO_TEST_ROOT}/${name}")
    file(MAKE_DIRECTORY "${sandbox}/tmp")
    set_tests_properties(${name} PROPERTIES
        LABELS ${T_LABEL}
        ENVIRONMENT "LANG=C.UTF-8;LC_ALL=C.UTF-8;TZ=UTC;QT_QPA_PLATFORM=offscreen;TMPDIR=${sandbox}/tmp;LUMARO_REGISTRY=${sandbox}/registry.ini;XDG_DATA_HOME=${sandbox}/xdg-data;XDG_CONFIG_HOME=${sandbox}/xdg-config;LUMARO_TEST_DATA=${PROJECT_SOURCE_DIR}/tests/data")
endfunction()
