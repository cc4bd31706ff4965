# The include root of a library: <build>/include/<name>/<folder>/ links to each header of the folder,
# so that its headers, spelt from the project root ("core/engine/X.h"), are found only by what links the
# library, directly or through public links. A folder's sub-folders are libraries of their own.
function(hb_include_root name scope)
  file(RELATIVE_PATH folder ${PROJECT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
  set(root ${CMAKE_BINARY_DIR}/include/${name})
  # Made anew at each configure, so a header moved away is no longer found here.
  file(REMOVE_RECURSE ${root})
  file(MAKE_DIRECTORY ${root}/${folder})
  file(GLOB headers CONFIGURE_DEPENDS RELATIVE ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  foreach(header ${headers})
    file(CREATE_LINK ${CMAKE_CURRENT_SOURCE_DIR}/${header} ${root}/${folder}/${header} SYMBOLIC)
  endforeach()
  target_include_directories(${name} ${scope} ${root})
endfunction()

# One static library per source folder: every .cpp/.ui/.qrc in the folder belongs to it.
function(hb_library name)
  cmake_parse_arguments(ARG "" "" "DEPENDS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS
    ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h
    ${CMAKE_CURRENT_SOURCE_DIR}/*.ui ${CMAKE_CURRENT_SOURCE_DIR}/*.qrc)
  file(GLOB units CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(units)
    add_library(${name} STATIC ${sources})
    hb_include_root(${name} PUBLIC)
    target_link_libraries(${name} PUBLIC ${ARG_DEPENDS})
  else()
    # A folder of headers only.
    add_library(${name} INTERFACE)
    hb_include_root(${name} INTERFACE)
    target_link_libraries(${name} INTERFACE ${ARG_DEPENDS})
  endif()
endfunction()

# One test executable per test folder, mirroring a source folder; every .cpp in it is part of it.
function(hb_test name)
  cmake_parse_arguments(ARG "" "" "DEPENDS;ENVIRONMENT" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  if(NOT sources)
    return()
  endif()
  add_executable(${name} ${sources})
  target_link_libraries(${name} PRIVATE hb_test_support ${ARG_DEPENDS})
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;${ARG_ENVIRONMENT}" TIMEOUT 300)
endfunction()
