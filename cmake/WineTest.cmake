# Windows-side tests: GoogleTest executables built for Windows and run by
# ctest under Wine, each in a fresh prefix of its own (tests/support/wine-run.sh).
#
#   add_wine_test(NAME <name> SOURCES <files...>
#                 [LIBS <libs...>] [RESOURCES <rc files...>]
#                 [DRIVES <x:type>...] [ENV <NAME=VALUE>...]
#                 [DEPENDS <targets...>] [SIBLINGS <files...>]
#                 [PRE_RUN <windows command lines...>] [LOCKS <names...>]
#                 [LANG <locale>] [TIMEOUT <seconds>])
#     Builds <name>.exe (console, static runtime) from SOURCES with the
#     common test main, linked with LIBS, setupcore, uirobot, winebench and
#     GoogleTest/GoogleMock, and registers ONE ctest <name> that runs it.
#     DRIVES: x:floppy|network|cdrom|ramdisk|hd gives drive x a fresh folder
#       of that type; x:none removes the letter. C: always reads as fixed.
#       x:hd:<size> (e.g. x:hd:1536k) makes it a tmpfs of that size, which
#       can really fill up (needs root; unmounted after the run).
#     ENV: NAME=VALUE is set in the test's Windows environment (TEMP too).
#     DEPENDS: built first; executables among them are copied next to the
#       test exe, so the test finds them with sibling_path("name.exe").
#     SIBLINGS: files (made by custom commands, say) copied there as well.
#     PRE_RUN: Windows command lines run (with wine) before the test.
#     LANG: Wine runs with this locale, which gives the ANSI code page
#       (ja_JP.UTF-8: 932, zh_TW.UTF-8: 950).
#     TIMEOUT: the test is killed after this many seconds (default 120).
#     LOCKS: resources of the whole machine that the test needs alone
#       (http_port_80: port 80 of the loopback). Tests of one ctest run
#       that share one never run at once (RESOURCE_LOCK), and a run waits
#       for other runs, of any build tree, through a lock file in /tmp
#       (wine-run.sh --lock); the wait does not count against TIMEOUT.
#
#   add_wine_run(NAME <name> EXE <target> [ARGS <args...>] [DRIVES ...]
#                [ENV ...] [DEPENDS ...] [SIBLINGS ...] [PRE_RUN ...] [LOCKS ...]
#                [LANG <locale>] [TIMEOUT <s>])
#     Registers a ctest that runs an existing Windows executable target the
#     same way (for instance robot-driver.exe walking the setup program);
#     the ctest passes when it exits with 0.
#
#   add_wine_helper(NAME <name> SOURCES <files...> [LIBS <libs...>]
#                   [RESOURCES <rc files...>] [GUI])
#     A Windows program that tests start (list it in their DEPENDS).
#
# All runs share a template prefix made once per build tree by the ctest
# wine_template (a fixture every Wine test requires).

set(GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest + GoogleMock sources")
set(WINE_TEST_TEMPLATE ${CMAKE_BINARY_DIR}/wine-template)
set(WINE_TEST_RUNS ${CMAKE_BINARY_DIR}/wine-runs)
set(WINE_TEST_SUPPORT ${CMAKE_SOURCE_DIR}/tests/support)

# GoogleTest and GoogleMock, built once.
add_library(gtest_win STATIC
  ${GTEST_SOURCE_DIR}/googletest/src/gtest-all.cc
  ${GTEST_SOURCE_DIR}/googlemock/src/gmock-all.cc)
target_include_directories(gtest_win SYSTEM PUBLIC
  ${GTEST_SOURCE_DIR}/googletest/include ${GTEST_SOURCE_DIR}/googlemock/include)
target_include_directories(gtest_win PRIVATE
  ${GTEST_SOURCE_DIR}/googletest ${GTEST_SOURCE_DIR}/googlemock)
target_compile_options(gtest_win PRIVATE -O1 -w)

add_test(NAME wine_template
         COMMAND bash ${WINE_TEST_SUPPORT}/wine-template.sh ${WINE_TEST_TEMPLATE})
set_tests_properties(wine_template PROPERTIES FIXTURES_SETUP wine_prefix
                     TIMEOUT 600 LABELS wine)

function(_wine_test_register name exe)
  cmake_parse_arguments(W "" "TIMEOUT;LANG" "ARGS;DRIVES;ENV;DEPENDS;PRE_RUN;SIBLINGS;LOCKS"
                        ${ARGN})
  if(NOT W_TIMEOUT)
    set(W_TIMEOUT 120)
  endif()
  set(runner_args --template ${WINE_TEST_TEMPLATE} --work ${WINE_TEST_RUNS}/${name}
                  --timeout ${W_TIMEOUT})
  if(W_LANG)
    list(APPEND runner_args --lang ${W_LANG})
  endif()
  foreach(d ${W_DRIVES})
    list(APPEND runner_args --drive ${d})
  endforeach()
  foreach(e ${W_ENV})
    list(APPEND runner_args "--env=${e}")
  endforeach()
  foreach(p ${W_PRE_RUN})
    list(APPEND runner_args "--pre=${p}")
  endforeach()
  foreach(f ${W_SIBLINGS})
    list(APPEND runner_args "--sibling=${f}")
  endforeach()
  foreach(l ${W_LOCKS})
    list(APPEND runner_args "--lock=${l}")
  endforeach()
  foreach(t ${W_DEPENDS})
    # Executables go next to the test; anything else is only built first.
    list(APPEND runner_args
      "$<$<STREQUAL:$<TARGET_PROPERTY:${t},TYPE>,EXECUTABLE>:--sibling=$<TARGET_FILE:${t}>>")
  endforeach()
  add_test(NAME ${name}
           COMMAND bash ${WINE_TEST_SUPPORT}/wine-run.sh ${runner_args} -- ${exe} ${W_ARGS})
  math(EXPR ctest_timeout "${W_TIMEOUT} + 60")
  if(W_LOCKS)
    # Room for the wait on another run (wine-run.sh's LOCK_WAIT).
    math(EXPR ctest_timeout "${ctest_timeout} + 900")
    set_tests_properties(${name} PROPERTIES RESOURCE_LOCK "${W_LOCKS}")
  endif()
  set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED wine_prefix
                       TIMEOUT ${ctest_timeout} LABELS wine)
endfunction()

function(add_wine_test)
  cmake_parse_arguments(WT "" "NAME;TIMEOUT;LANG"
                        "SOURCES;LIBS;RESOURCES;DRIVES;ENV;DEPENDS;PRE_RUN;SIBLINGS;LOCKS" ${ARGN})
  if(NOT WT_NAME OR NOT WT_SOURCES)
    message(FATAL_ERROR "add_wine_test needs NAME and SOURCES")
  endif()
  add_executable(${WT_NAME} ${WT_SOURCES} ${WT_RESOURCES} ${WINE_TEST_SUPPORT}/test_main.cpp)
  target_include_directories(${WT_NAME} PRIVATE ${CMAKE_SOURCE_DIR})
  target_link_libraries(${WT_NAME} PRIVATE ${WT_LIBS} setupcore uirobot winebench gtest_win)
  target_link_options(${WT_NAME} PRIVATE -static)
  if(WT_DEPENDS)
    add_dependencies(${WT_NAME} ${WT_DEPENDS})
  endif()
  set(extra)
  if(WT_TIMEOUT)
    list(APPEND extra TIMEOUT ${WT_TIMEOUT})
  endif()
  if(WT_LANG)
    list(APPEND extra LANG ${WT_LANG})
  endif()
  _wine_test_register(${WT_NAME} $<TARGET_FILE:${WT_NAME}> ${extra}
    DRIVES ${WT_DRIVES} ENV ${WT_ENV} DEPENDS ${WT_DEPENDS} PRE_RUN ${WT_PRE_RUN}
    SIBLINGS ${WT_SIBLINGS} LOCKS ${WT_LOCKS})
endfunction()

function(add_wine_run)
  cmake_parse_arguments(WR "" "NAME;EXE;TIMEOUT;LANG"
                        "ARGS;DRIVES;ENV;DEPENDS;PRE_RUN;SIBLINGS;LOCKS" ${ARGN})
  if(NOT WR_NAME OR NOT WR_EXE)
    message(FATAL_ERROR "add_wine_run needs NAME and EXE")
  endif()
  set(extra)
  if(WR_TIMEOUT)
    list(APPEND extra TIMEOUT ${WR_TIMEOUT})
  endif()
  if(WR_LANG)
    list(APPEND extra LANG ${WR_LANG})
  endif()
  _wine_test_register(${WR_NAME} $<TARGET_FILE:${WR_EXE}> ${extra} ARGS ${WR_ARGS}
    DRIVES ${WR_DRIVES} ENV ${WR_ENV} DEPENDS ${WR_DEPENDS} PRE_RUN ${WR_PRE_RUN}
    SIBLINGS ${WR_SIBLINGS} LOCKS ${WR_LOCKS})
endfunction()

function(add_wine_helper)
  cmake_parse_arguments(WH "GUI" "NAME" "SOURCES;LIBS;RESOURCES" ${ARGN})
  set(kind)
  if(WH_GUI)
    set(kind WIN32)
  endif()
  add_executable(${WH_NAME} ${kind} ${WH_SOURCES} ${WH_RESOURCES})
  target_include_directories(${WH_NAME} PRIVATE ${CMAKE_SOURCE_DIR})
  target_link_libraries(${WH_NAME} PRIVATE ${WH_LIBS})
  target_link_options(${WH_NAME} PRIVATE -static)
endfunction()
