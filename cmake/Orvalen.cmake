# Shared build rules: every src/ folder is one static library named orvalen_<folder>
# (slashes become underscores), built from all its sources.

set(ORVALEN_WARNINGS -Wall -Wextra -Wno-missing-field-initializers)
if(ORVALEN_WERROR)
    list(APPEND ORVALEN_WARNINGS -Werror)
endif()

if(ORVALEN_SANITIZE)
    add_compile_options(-fsanitize=${ORVALEN_SANITIZE} -fno-omit-frame-pointer -g)
    add_link_options(-fsanitize=${ORVALEN_SANITIZE})
    if(ORVALEN_SANITIZE MATCHES "undefined")
        add_compile_options(-fno-sanitize-recover=undefined)
    endif()
endif()

# Release builds are hardened as Debian builds its packages: checked string and memory calls,
# a stack protector, a position-independent executable, read-only relocations bound at start.
# A sanitizer build brings its own instrumentation and is left as it is.
if(NOT ORVALEN_SANITIZE)
    include(CheckPIESupported)
    check_pie_supported()
    set(CMAKE_POSITION_INDEPENDENT_CODE ON)
    add_compile_options("$<$<CONFIG:Release,RelWithDebInfo>:-D_FORTIFY_SOURCE=2>"
                        "$<$<CONFIG:Release,RelWithDebInfo>:-fstack-protector-strong>"
                        "$<$<CONFIG:Release,RelWithDebInfo>:-fstack-clash-protection>")
    add_link_options("$<$<CONFIG:Release,RelWithDebInfo>:LINKER:-z,relro,-z,now>")
endif()

function(orvalen_target_name out module)
    string(REPLACE "/" "_" name "${module}")
    set(${out} orvalen_${name} PARENT_SCOPE)
endfunction()

# orvalen_add_module(<module> [EXCLUDE <regex>...] [DEPS <targets>...])
function(orvalen_add_module module)
    cmake_parse_arguments(ARG "" "" "EXCLUDE;DEPS" ${ARGN})
    orvalen_target_name(target ${module})
    file(GLOB sources CONFIGURE_DEPENDS
         ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h
         ${CMAKE_CURRENT_SOURCE_DIR}/*.qrc)
    foreach(regex IN LISTS ARG_EXCLUDE)
        list(FILTER sources EXCLUDE REGEX "${regex}")
    endforeach()
    list(FILTER sources INCLUDE REGEX "\\.(cpp|h|qrc)$")
    set(compiled ${sources})
    list(FILTER compiled INCLUDE REGEX "\\.cpp$")
    if(compiled)
        add_library(${target} STATIC ${sources})
        target_compile_options(${target} PRIVATE ${ORVALEN_WARNINGS})
        target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR}/src)
        target_link_libraries(${target} PUBLIC ${ARG_DEPS})
    else()
        # A folder that holds only interfaces so far.
        add_library(${target} INTERFACE)
        target_include_directories(${target} INTERFACE ${PROJECT_SOURCE_DIR}/src)
        target_link_libraries(${target} INTERFACE ${ARG_DEPS})
    endif()
endfunction()

# orvalen_add_tests(<module> [DEPS <targets>...]): one test program per module, every
# *.cpp in the folder, discovered by CTest and labelled with the module's name.
function(orvalen_add_tests module)
    cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
    orvalen_target_name(lib ${module})
    string(REPLACE "orvalen_" "test_" target ${lib})
    file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
    add_executable(${target} ${sources})
    target_compile_options(${target} PRIVATE ${ORVALEN_WARNINGS})
    target_link_libraries(${target} PRIVATE ${lib} ${ARG_DEPS} orvalen_testmain)
    target_compile_definitions(${target} PRIVATE
        ORVALEN_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
        ORVALEN_BINARY_DIR="${PROJECT_BINARY_DIR}")
    gtest_discover_tests(${target} DISCOVERY_TIMEOUT 60
        PROPERTIES LABELS ${module})
endfunction()
