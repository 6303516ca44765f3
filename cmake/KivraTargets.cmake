# Targets and helpers shared by every directory of the build.
#
#   kivra_portable_sources(files...)  code that builds for Windows and the host
#   kivra_windows_sources(files...)   code that needs the Windows API
#   kivra_host_test(name files...)    a GoogleTest program for the host tree
#   kivra_win_test(name files...)     a GoogleTest program run under Wine (links gtest_main;
#                                     guard further settings with if(TARGET name))
#   kivra_end_to_end(tests...)        marks tests that start the real Setup.exe (label e2e):
#                                     scripts/run-tests.sh runs them once more in a 64-bit
#                                     prefix, where Setup.exe really runs (WoW64)

# No build folder's path may end up in a shipped binary: two clones built in
# different folders give the same bytes.
add_compile_options("-ffile-prefix-map=${PROJECT_SOURCE_DIR}/=" "-ffile-prefix-map=${CMAKE_BINARY_DIR}/=")

option(KIVRA_WINDOWS_TESTS "Build the Windows tests of this tree (run under Wine)" ON)
set(KIVRA_7ZA "/var/cache/kivra-build/7za.exe" CACHE FILEPATH
    "7za.exe for the payloads of this tree (built by scripts/setup-deps.sh)")

if(WIN32)
  enable_language(RC)
  # Setup.exe must stay small: its payload starts at byte 490000 of its own file.
  # Without exceptions its operator new returns null when memory runs out
  # (setup/nothrow_new.cpp); -fcheck-new keeps the null checks after every new.
  set(KIVRA_SIZE_FLAGS -Os -ffunction-sections -fdata-sections
      -fno-exceptions -fno-rtti -fno-asynchronous-unwind-tables -fcheck-new)
  # Setup.exe's stack reserve. TinyXML recurses per nested element, about 160
  # bytes of stack a level; the deepest customisation document that can be
  # loaded (40588 bytes of "<a>", 13529 levels) needs 2.1 MB, more than the
  # linker's default 2 MiB. tests/xml measures it on this very reserve and
  # wants it to stay below a third.
  set(KIVRA_SETUP_STACK 8388608)
  # A system function looked up at run time is called through a pointer of the
  # type its header declares (platform/system_proc.h). A cast to another
  # function type, or one through an object pointer, would hide a wrong calling
  # convention, which only the i686 build that ships would pay for: both are
  # errors in the product, on every tree, the i686 one included.
  set(KIVRA_PRODUCT_CHECKS -Werror=cast-function-type -Werror=conditionally-supported)
  add_compile_options(-Wall -Wextra)
  # Every executable and DLL carries the compiler's runtime inside, so that it
  # needs no DLLs beside it, neither on a customer's machine nor in the Wine
  # prefix (none has libgcc_s_dw2-1.dll or libwinpthread-1.dll); this holds
  # also for trees configured before (link flags cached there are kept).
  add_link_options(-static -static-libgcc -static-libstdc++)
  add_compile_definitions(WIN32_LEAN_AND_MEAN _WIN32_WINNT=0x0601 WINVER=0x0601)
  # The link time stamp stays 0, so that a rebuild gives the same bytes; ld
  # still writes the header checksum.
  add_link_options(LINKER:--no-insert-timestamp)

  # The product's operations; Setup.exe is this library plus its entry and
  # resources, and the Windows tests link the same library.
  add_library(kivra STATIC)
  target_compile_options(kivra PRIVATE ${KIVRA_SIZE_FLAGS} ${KIVRA_PRODUCT_CHECKS})
  target_include_directories(kivra PUBLIC "${PROJECT_SOURCE_DIR}")
  # ntdll for the native create, which makes and opens an object in one call.
  target_link_libraries(kivra PUBLIC user32 advapi32 kernel32 ntdll)
elseif(KIVRA_TOOLS_ONLY)
  add_compile_options(-Wall -Wextra)
  add_library(kivra_portable STATIC)
  target_include_directories(kivra_portable PUBLIC "${PROJECT_SOURCE_DIR}")
else()
  add_compile_options(-Wall -Wextra -fsanitize=address,undefined -fno-omit-frame-pointer
                      -fno-sanitize-recover=all)
  add_link_options(-fsanitize=address,undefined)
  add_library(kivra_portable STATIC)
  target_include_directories(kivra_portable PUBLIC "${PROJECT_SOURCE_DIR}")
endif()

function(kivra_portable_sources)
  list(TRANSFORM ARGN PREPEND "${CMAKE_CURRENT_SOURCE_DIR}/")
  if(WIN32)
    target_sources(kivra PRIVATE ${ARGN})
  else()
    target_sources(kivra_portable PRIVATE ${ARGN})
  endif()
endfunction()

function(kivra_windows_sources)
  if(WIN32)
    list(TRANSFORM ARGN PREPEND "${CMAKE_CURRENT_SOURCE_DIR}/")
    target_sources(kivra PRIVATE ${ARGN})
  endif()
endfunction()

# GoogleTest from the sources of Debian's googletest package, built for whichever
# tree this is (the cross compiler in the Windows tree).
set(KIVRA_GTEST_SRC "/usr/src/googletest" CACHE PATH "GoogleTest sources")
if(NOT TARGET gtest)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
  add_subdirectory("${KIVRA_GTEST_SRC}" "${CMAKE_BINARY_DIR}/googletest" EXCLUDE_FROM_ALL)
endif()

function(kivra_host_test name)
  if(NOT WIN32)
    add_executable(${name} ${ARGN})
    target_link_libraries(${name} PRIVATE kivra_portable gtest_main)
    target_include_directories(${name} PRIVATE "${PROJECT_SOURCE_DIR}/tests")
    add_test(NAME ${name} COMMAND ${name})
  endif()
endfunction()

# Every Windows test runs in the one Wine prefix of this test run, which the
# fixture "wine" makes before the first test and stops after the last. Tests use
# fixed places of that prefix (C:\KivraLog, C:\tmp, the registry), so they run
# one at a time.
set(KIVRA_WINE_ROOT "${CMAKE_BINARY_DIR}/wine")
function(kivra_win_test name)
  if(WIN32 AND KIVRA_WINDOWS_TESTS)
    add_executable(${name} ${ARGN})
    target_link_libraries(${name} PRIVATE kivra testsupport gtest_main)
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES
      FIXTURES_REQUIRED wine
      RESOURCE_LOCK wineprefix
      ENVIRONMENT "KIVRA_WINE_ROOT=${KIVRA_WINE_ROOT}"
      TIMEOUT 600)
  endif()
endfunction()

# kivra_fuzz_test(TEST name TARGET program SECONDS n SOURCES files... [OPTIONS flags...])
# A libFuzzer program built by clang apart from the g++ host tree (sources
# relative to the top folder), and the test that runs it for n seconds over the
# folder's fuzz_seeds and a corpus of its own in the build tree.
find_program(KIVRA_CLANGXX NAMES clang++ clang++-14)
function(kivra_fuzz_test)
  cmake_parse_arguments(FUZZ "" "TEST;TARGET;SECONDS" "SOURCES;OPTIONS" ${ARGN})
  if(WIN32 OR NOT KIVRA_CLANGXX)
    return()
  endif()
  list(TRANSFORM FUZZ_SOURCES PREPEND "${PROJECT_SOURCE_DIR}/")
  set(implicit "")
  foreach(source ${FUZZ_SOURCES})
    list(APPEND implicit CXX "${source}")
  endforeach()
  set(exe "${CMAKE_CURRENT_BINARY_DIR}/${FUZZ_TARGET}")
  add_custom_command(
    OUTPUT "${exe}"
    COMMAND "${KIVRA_CLANGXX}" -std=c++17 -g -O1 -fsanitize=fuzzer,address,undefined
            -fno-sanitize-recover=all -I "${PROJECT_SOURCE_DIR}" ${FUZZ_SOURCES} -o "${exe}"
    DEPENDS ${FUZZ_SOURCES}
    IMPLICIT_DEPENDS ${implicit}
    COMMENT "Building the fuzz target ${FUZZ_TARGET} with clang")
  add_custom_target(${FUZZ_TARGET} ALL DEPENDS "${exe}")
  set(corpus "${CMAKE_CURRENT_BINARY_DIR}/${FUZZ_TARGET}_corpus")
  file(MAKE_DIRECTORY "${corpus}")
  add_test(NAME ${FUZZ_TEST}
           COMMAND "${exe}" -max_total_time=${FUZZ_SECONDS} -print_final_stats=1 ${FUZZ_OPTIONS}
                   "${corpus}" "${CMAKE_CURRENT_SOURCE_DIR}/fuzz_seeds")
  set_tests_properties(${FUZZ_TEST} PROPERTIES TIMEOUT 120)
endfunction()

function(kivra_end_to_end)
  if(WIN32 AND KIVRA_WINDOWS_TESTS)
    set_tests_properties(${ARGN} PROPERTIES LABELS e2e)
  endif()
endfunction()
