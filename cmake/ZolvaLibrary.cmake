# One static library per subsystem folder, made of every source, header and
# form in that folder. Users write #include "devlink/ComDevice.h": each
# library gets an include root of its own in the build tree that holds just
# its folder, so a folder can include only the libraries it links, and a
# wrong-way include fails to build.
#   zolva_library(name PUBLIC <what its headers use> PRIVATE <what only its sources use>)
function(zolva_library name)
  cmake_parse_arguments(ARG "" "" "PUBLIC;PRIVATE" ${ARGN})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS
    ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/*.h
    ${CMAKE_CURRENT_SOURCE_DIR}/*.ui
    ${CMAKE_CURRENT_SOURCE_DIR}/*.qrc)
  list(FILTER sources EXCLUDE REGEX "/main\\.cpp$")

  file(RELATIVE_PATH folder ${PROJECT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
  set(root ${PROJECT_BINARY_DIR}/include/${name})
  get_filename_component(link_parent ${root}/${folder} DIRECTORY)
  file(MAKE_DIRECTORY ${link_parent})
  file(CREATE_LINK ${CMAKE_CURRENT_SOURCE_DIR} ${root}/${folder} SYMBOLIC)

  if(sources MATCHES "\\.cpp")
    add_library(${name} STATIC ${sources})
    target_include_directories(${name} PUBLIC ${root})
    target_link_libraries(${name} PUBLIC ${ARG_PUBLIC} PRIVATE ${ARG_PRIVATE})
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${root})
    target_link_libraries(${name} INTERFACE ${ARG_PUBLIC})
  endif()
endfunction()

# Every tst_*.cpp in the calling folder becomes one Qt Test executable and one
# CTest case. Widget tests run offscreen and every test sees one fixed zone,
# so nothing depends on the machine's display or clock settings.
set(ZOLVA_TEST_ENVIRONMENT "QT_QPA_PLATFORM=offscreen;TZ=Asia/Shanghai;LC_ALL=C.UTF-8")
function(zolva_tests folder)
  cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
  file(GLOB tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/tst_*.cpp)
  foreach(test_source ${tests})
    get_filename_component(test_name ${test_source} NAME_WE)
    set(target ${folder}_${test_name})
    add_executable(${target} ${test_source})
    target_link_libraries(${target} PRIVATE ${ARG_LIBS} Qt5::Test)
    target_include_directories(${target} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
    add_test(NAME ${folder}/${test_name} COMMAND ${target})
    set_tests_properties(${folder}/${test_name} PROPERTIES
      TIMEOUT 300
      ENVIRONMENT "${ZOLVA_TEST_ENVIRONMENT};${ZOLVA_SANITIZER_ENVIRONMENT}")
  endforeach()
endfunction()

# Runs a test of zolva_tests once more, as <folder>/<test>_<variant>, with
# more environment (a scaled screen, say).
function(zolva_test_variant folder test variant)
  cmake_parse_arguments(ARG "" "" "ENVIRONMENT" ${ARGN})
  add_test(NAME ${folder}/${test}_${variant} COMMAND ${folder}_${test})
  set_tests_properties(${folder}/${test}_${variant} PROPERTIES
    TIMEOUT 300
    ENVIRONMENT "${ZOLVA_TEST_ENVIRONMENT};${ARG_ENVIRONMENT};${ZOLVA_SANITIZER_ENVIRONMENT}")
endfunction()
