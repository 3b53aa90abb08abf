# Compile and link options of the shipped files: no C or C++ runtime, no
# exceptions, no RTTI, Windows 4.0 subsystem, ANSI functions only.

set(KELVARA_DIST_DIR ${CMAKE_BINARY_DIR}/dist)
file(MAKE_DIRECTORY ${KELVARA_DIST_DIR})
# Everything that goes into build/dist.
add_custom_target(kelvara_dist ALL)

set(KELVARA_SYSTEM_LIBS kernel32 user32 gdi32 advapi32 shell32 ole32 comctl32 setupapi imm32 uuid)

# Options every object of a deliverable is compiled with.
set(KELVARA_DELIVERABLE_CXX_FLAGS
    -fno-exceptions -fno-rtti -fno-asynchronous-unwind-tables -fno-threadsafe-statics
    -fno-stack-protector -fno-builtin-printf -ffunction-sections -fdata-sections -Os -Wall -Wextra -Wno-unused-parameter
    -Wno-cast-function-type -Wno-missing-field-initializers)

# kelvara_deliverable(<target> <DLL|EXE> OUTPUT <file name> DEF <def file>|NONE
#                     ENTRY <symbol> SOURCES ... [RC <rc file>])
# Builds a shipped file into build/dist under its Windows name.
function(kelvara_deliverable target kind)
  cmake_parse_arguments(D "" "OUTPUT;DEF;ENTRY;RC" "SOURCES" ${ARGN})
  if(kind STREQUAL "DLL")
    add_library(${target} SHARED ${D_SOURCES} ${D_RC})
  else()
    add_executable(${target} WIN32 ${D_SOURCES} ${D_RC})
  endif()
  get_filename_component(stem ${D_OUTPUT} NAME_WE)
  get_filename_component(ext ${D_OUTPUT} EXT)
  set_target_properties(${target} PROPERTIES
      PREFIX "" OUTPUT_NAME ${stem} SUFFIX ${ext}
      RUNTIME_OUTPUT_DIRECTORY ${KELVARA_DIST_DIR}
      LIBRARY_OUTPUT_DIRECTORY ${KELVARA_DIST_DIR})
  target_compile_options(${target} PRIVATE $<$<COMPILE_LANGUAGE:CXX>:${KELVARA_DELIVERABLE_CXX_FLAGS}>)
  target_compile_definitions(${target} PRIVATE WIN32_LEAN_AND_MEAN _WIN32_WINNT=0x0400 WINVER=0x0400
                             _WIN32_IE=0x0400 NOMINMAX STRICT)
  target_include_directories(${target} PRIVATE ${CMAKE_SOURCE_DIR}/common)
  set(link -nostdlib -nostartfiles -static-libgcc -Wl,--enable-stdcall-fixup
           -Wl,--major-subsystem-version,4 -Wl,--minor-subsystem-version,0
           -Wl,--major-os-version,4 -Wl,--minor-os-version,0
           -Wl,--dynamicbase -Wl,--nxcompat -Wl,--no-insert-timestamp -Wl,--gc-sections -s)
  if(D_ENTRY)
    list(APPEND link -Wl,-e,${D_ENTRY})
  endif()
  if(D_DEF AND NOT D_DEF STREQUAL "NONE")
    target_sources(${target} PRIVATE ${D_DEF})
  endif()
  target_link_options(${target} PRIVATE ${link})
  target_link_libraries(${target} PRIVATE kelvara_crt ${KELVARA_SYSTEM_LIBS} gcc)
  add_dependencies(kelvara_dist ${target})
endfunction()

# kelvara_dist_file(<target name> <source> <file name in dist>)
# Copies a data file (INF, INI) into build/dist.
function(kelvara_dist_file name source dest)
  add_custom_command(OUTPUT ${KELVARA_DIST_DIR}/${dest}
      COMMAND ${CMAKE_COMMAND} -E copy ${source} ${KELVARA_DIST_DIR}/${dest}
      DEPENDS ${source})
  add_custom_target(${name} ALL DEPENDS ${KELVARA_DIST_DIR}/${dest})
  add_dependencies(kelvara_dist ${name})
endfunction()
