# One place for warnings and Qt defines, applied to every target of ours.
function(tj_configure target)
  target_compile_options(${target} PRIVATE
    $<$<CXX_COMPILER_ID:GNU,Clang>:-Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Woverloaded-virtual>)
  target_compile_definitions(${target} PRIVATE QT_NO_KEYWORDS QT_USE_QSTRINGBUILDER)
endfunction()

# A static library made of every source file in the calling folder.
function(tj_library name)
  cmake_parse_arguments(ARG "" "" "PUBLIC_LIBS;PRIVATE_LIBS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  list(FILTER sources EXCLUDE REGEX "\\.h$")
  if(NOT sources)
    # A folder whose code has not been written yet still takes part in the graph.
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} INTERFACE ${ARG_PUBLIC_LIBS})
    return()
  endif()
  file(GLOB headers CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  add_library(${name} STATIC ${sources} ${headers})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${ARG_PUBLIC_LIBS} PRIVATE ${ARG_PRIVATE_LIBS})
  tj_configure(${name})
endfunction()

# One test program per folder, made of every *_test.cpp file there and named `name`: one link
# and one test listing per folder, and the heavy headers parsed once through a precompiled
# header. Each test case still runs in a process of its own under CTest, labelled with the
# folder ("model", "support/widgets") so one folder's tests can be run alone.
function(tj_test_suite name)
  cmake_parse_arguments(ARG "" "MAIN" "LIBS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_test.cpp)
  file(RELATIVE_PATH folder ${PROJECT_SOURCE_DIR}/tests ${CMAKE_CURRENT_SOURCE_DIR})
  add_executable(${name} ${sources})
  add_dependencies(tj_tests ${name})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} ${ARG_MAIN} GTest::gtest)
  tj_configure(${name})
  # The code under test keeps the build's optimisation; the tests themselves needn't, and
  # compile in half the time at -O1 with line tables only.
  if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
    target_compile_options(${name} PRIVATE -O1 -g1)
  endif()
  target_compile_definitions(${name} PRIVATE
    TJ_TEST_DATA="${CMAKE_CURRENT_SOURCE_DIR}/data"
    TJ_TOOLS_DIR="${PROJECT_SOURCE_DIR}/tools")
  set(headers <gtest/gtest.h> <QByteArray> <QDir> <QFile> <QImage> <QPainter> <QString> <QVariant>
      <functional> <memory> <vector>)
  if(ARG_MAIN STREQUAL "tj_test_main_widgets")
    list(APPEND headers <QApplication> <QWidget>)
  endif()
  target_precompile_headers(${name} PRIVATE ${headers})
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 600 LABELS ${folder})
endfunction()
