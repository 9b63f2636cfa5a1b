# Fails when a folder includes from a folder above it. The layers, bottom up:
#   base <- automation <- core <- winlist, arrange, registry, page <- app <- scenario
# Run as: cmake -DROOT=<source folder> -P CheckLayers.cmake
cmake_minimum_required(VERSION 3.25)

if(NOT ROOT)
    message(FATAL_ERROR "ROOT is not set")
endif()

set(features winlist arrange registry page)
# For each folder, the folders it must never include from.
set(above_base automation core ${features} app scenario)
set(above_automation core ${features} app scenario)
set(above_core ${features} app scenario)
foreach(feature IN LISTS features)
    set(above_${feature} app scenario)
endforeach()
set(above_app scenario)

set(violations "")
foreach(folder base automation core ${features} app)
    file(GLOB_RECURSE sources ${ROOT}/${folder}/*.h ${ROOT}/${folder}/*.cpp)
    foreach(source IN LISTS sources)
        file(STRINGS ${source} includes REGEX "^[ \t]*#[ \t]*include[ \t]*[\"<]")
        foreach(line IN LISTS includes)
            string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*[\"<]([^\">]*)[\">].*$" "\\1"
                   included "${line}")
            string(REGEX REPLACE "/.*$" "" top "${included}")
            if(NOT included MATCHES "/")
                continue()
            endif()
            if(top IN_LIST above_${folder})
                file(RELATIVE_PATH where ${ROOT} ${source})
                list(APPEND violations "${where} includes ${included}")
            endif()
        endforeach()
    endforeach()
endforeach()

if(violations)
    list(JOIN violations "\n  " text)
    message(FATAL_ERROR "includes that point up a layer:\n  ${text}")
endif()
