# `cmake --build <dir> --target format` rewrites every source file with the
# project's .clang-format; `format-check` fails when one would change.
#
# The folders are found, not listed: every top-level folder except hidden ones and
# build trees ("out", a name starting with "build", or any folder holding a CMakeCache.txt),
# so a new folder is formatted the day it appears. Vendored and npm code is skipped.
find_program(CLANG_FORMAT_EXE NAMES clang-format clang-format-14)
if(CLANG_FORMAT_EXE)
    file(GLOB tabulon_top_entries CONFIGURE_DEPENDS LIST_DIRECTORIES true
        RELATIVE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/*)
    set(TABULON_FORMAT_SOURCES)
    foreach(entry IN LISTS tabulon_top_entries)
        set(dir ${PROJECT_SOURCE_DIR}/${entry})
        if(NOT IS_DIRECTORY ${dir} OR entry MATCHES "^(\\.|build|out$)"
                OR EXISTS ${dir}/CMakeCache.txt)
            continue()
        endif()
        cmake_path(IS_PREFIX dir ${PROJECT_BINARY_DIR} NORMALIZE binary_inside)
        if(binary_inside)
            continue()
        endif()
        file(GLOB_RECURSE found CONFIGURE_DEPENDS ${dir}/*.cpp ${dir}/*.h)
        list(FILTER found EXCLUDE REGEX "/(node_modules|third[-_]party)/")
        list(APPEND TABULON_FORMAT_SOURCES ${found})
    endforeach()
    file(GLOB top_sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/*.cpp ${PROJECT_SOURCE_DIR}/*.h)
    list(APPEND TABULON_FORMAT_SOURCES ${top_sources})
    list(SORT TABULON_FORMAT_SOURCES)

    add_custom_target(format
        COMMAND ${CLANG_FORMAT_EXE} -i ${TABULON_FORMAT_SOURCES}
        COMMENT "clang-format: rewriting sources")
    add_custom_target(format-check
        COMMAND ${CLANG_FORMAT_EXE} --dry-run --Werror ${TABULON_FORMAT_SOURCES}
        COMMENT "clang-format: checking sources")
endif()
