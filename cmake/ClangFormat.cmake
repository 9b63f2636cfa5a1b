# `cmake --build <dir> --target format` rewrites every source file with the
# project's .clang-format; `format-check` fails when one would change.
find_program(CLANG_FORMAT_EXE NAMES clang-format clang-format-14)
if(CLANG_FORMAT_EXE)
    file(GLOB_RECURSE TABULON_FORMAT_SOURCES CONFIGURE_DEPENDS
        ${PROJECT_SOURCE_DIR}/app/*.cpp ${PROJECT_SOURCE_DIR}/app/*.h
        ${PROJECT_SOURCE_DIR}/base/*.cpp ${PROJECT_SOURCE_DIR}/base/*.h
        ${PROJECT_SOURCE_DIR}/automation/*.cpp ${PROJECT_SOURCE_DIR}/automation/*.h
        ${PROJECT_SOURCE_DIR}/core/*.cpp ${PROJECT_SOURCE_DIR}/core/*.h
        ${PROJECT_SOURCE_DIR}/winlist/*.cpp ${PROJECT_SOURCE_DIR}/winlist/*.h
        ${PROJECT_SOURCE_DIR}/arrange/*.cpp ${PROJECT_SOURCE_DIR}/arrange/*.h
        ${PROJECT_SOURCE_DIR}/registry/*.cpp ${PROJECT_SOURCE_DIR}/registry/*.h
        ${PROJECT_SOURCE_DIR}/page/*.cpp ${PROJECT_SOURCE_DIR}/page/*.h
        ${PROJECT_SOURCE_DIR}/scenario/*.cpp ${PROJECT_SOURCE_DIR}/scenario/*.h
        ${PROJECT_SOURCE_DIR}/tools/*.cpp
        ${PROJECT_SOURCE_DIR}/tests/*.cpp ${PROJECT_SOURCE_DIR}/tests/*.h)
    add_custom_target(format
        COMMAND ${CLANG_FORMAT_EXE} -i ${TABULON_FORMAT_SOURCES}
        COMMENT "clang-format: rewriting sources")
    add_custom_target(format-check
        COMMAND ${CLANG_FORMAT_EXE} --dry-run --Werror ${TABULON_FORMAT_SOURCES}
        COMMENT "clang-format: checking sources")
endif()
