# Compile and link options of the shipped files: no C or C++ runtime, no
# exceptions, no RTTI, Windows 4.0 subsystem, ANSI functions only.

# The x86 build ships into build/dist; the x64 build (a tree of its own, see the top
# level) is handed build/dist64.
set(KELVARA_DIST_DIR ${CMAKE_BINARY_DIR}/dist CACHE PATH "Where the shipped files go")
file(MAKE_DIRECTORY ${KELVARA_DIST_DIR})
# The release archives of both architectures (packed by the x86 tree, see release/).
set(KELVARA_RELEASE_DIR ${CMAKE_BINARY_DIR}/archives CACHE PATH "Where the release archives go")
# Everything that goes into build/dist.
add_custom_target(kelvara_dist ALL)

# What differs between the two architectures. x64 has one calling convention, so
# entry symbols carry no stdcall decoration there; its loader wants at least
# subsystem 5.02 (the first x64 Windows); INF files decorate NT sections with the
# processor architecture.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(KELVARA_MACHINE x86-64)
  set(KELVARA_SUBSYSTEM_VERSION 5 2)
  set(KELVARA_NT_DECORATION .ntamd64)
else()
  set(KELVARA_MACHINE i386)
  set(KELVARA_SUBSYSTEM_VERSION 4 0)
  set(KELVARA_NT_DECORATION .ntx86)
endif()
list(GET KELVARA_SUBSYSTEM_VERSION 0 KELVARA_SUBSYSTEM_MAJOR)
list(GET KELVARA_SUBSYSTEM_VERSION 1 KELVARA_SUBSYSTEM_MINOR)

set(KELVARA_CMAKE_DIR ${CMAKE_CURRENT_LIST_DIR})
set(KELVARA_SYSTEM_LIBS kernel32 user32 gdi32 advapi32 shell32 ole32 comctl32 setupapi uuid)

# Options every object of a deliverable is compiled with.
set(KELVARA_DELIVERABLE_CXX_FLAGS
    -fno-exceptions -fno-rtti -fno-asynchronous-unwind-tables -fno-threadsafe-statics
    -fno-stack-protector -fno-builtin-printf -ffunction-sections -fdata-sections -Os -Wall -Wextra -Wno-unused-parameter
    -Wno-cast-function-type -Wno-missing-field-initializers)
if(KELVARA_MACHINE STREQUAL "i386")
  # Windows 95 runs on an 80386: the compiler's i686 default (cmov) and its inline
  # interlocked forms (xadd, i486) would fault on the 386, i486 and Pentium that the
  # family ran on. Tuned for the Pentium, the commonest of them.
  list(APPEND KELVARA_DELIVERABLE_CXX_FLAGS -march=i386 -mtune=pentium)
endif()

# kelvara_deliverable_compile(<target>)
# What every object of a shipped file is compiled with, the shared library's
# included: no runtime, Windows 4.0 headers, ANSI names only.
function(kelvara_deliverable_compile target)
  target_compile_options(${target} PRIVATE $<$<COMPILE_LANGUAGE:CXX>:${KELVARA_DELIVERABLE_CXX_FLAGS}>)
  target_compile_definitions(${target} PRIVATE WIN32_LEAN_AND_MEAN _WIN32_WINNT=0x0400 WINVER=0x0400
                             _WIN32_IE=0x0400 NOMINMAX STRICT KELVARA_NT_DECORATION="${KELVARA_NT_DECORATION}")
  target_include_directories(${target} PRIVATE ${CMAKE_SOURCE_DIR}/common)
endfunction()

# kelvara_deliverable(<target> <DLL|EXE> OUTPUT <file name> DEF <def file>|NONE
#                     ENTRY <symbol> SOURCES ... [RC <rc file>] [ICONS <file> ...])
# Builds a shipped file into build/dist under its Windows name, from the sources of
# the calling folder (which, with its build folder, is on the include path) and the
# shared library. ICONS are drawn by tools/make_images.py into the build folder for
# the resources.
function(kelvara_deliverable target kind)
  cmake_parse_arguments(D "" "OUTPUT;DEF;ENTRY;RC" "SOURCES;ICONS" ${ARGN})
  if(D_ICONS)
    list(TRANSFORM D_ICONS PREPEND ${CMAKE_CURRENT_BINARY_DIR}/)
    add_custom_command(OUTPUT ${D_ICONS}
        COMMAND python3 ${CMAKE_SOURCE_DIR}/tools/make_images.py ${CMAKE_CURRENT_BINARY_DIR} suite
        DEPENDS ${CMAKE_SOURCE_DIR}/tools/make_images.py)
    set_property(SOURCE ${D_RC} APPEND PROPERTY OBJECT_DEPENDS ${D_ICONS})
  endif()
  if(D_RC)
    # windres' includes are not scanned: a new version must still rebuild the resources.
    set_property(SOURCE ${D_RC} APPEND PROPERTY OBJECT_DEPENDS
                 ${KELVARA_GENERATED_DIR}/version.h ${CMAKE_SOURCE_DIR}/common/version_info.rc2)
  endif()
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
  kelvara_deliverable_compile(${target})
  target_include_directories(${target} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_CURRENT_BINARY_DIR})
  set(link -nostdlib -nostartfiles -Wl,--enable-stdcall-fixup
           -Wl,--major-subsystem-version,${KELVARA_SUBSYSTEM_MAJOR}
           -Wl,--minor-subsystem-version,${KELVARA_SUBSYSTEM_MINOR}
           -Wl,--major-os-version,${KELVARA_SUBSYSTEM_MAJOR} -Wl,--minor-os-version,${KELVARA_SUBSYSTEM_MINOR}
           -Wl,--dynamicbase -Wl,--nxcompat -Wl,--no-insert-timestamp -Wl,--gc-sections -s)
  if(D_ENTRY)
    set(entry ${D_ENTRY})
    if(KELVARA_MACHINE STREQUAL "x86-64")
      # _DllMain@12 is plain DllMain on x64.
      string(REGEX REPLACE "^_(.*)@[0-9]+$" "\\1" entry ${entry})
    endif()
    list(APPEND link -Wl,-e,${entry})
  endif()
  if(D_DEF AND NOT D_DEF STREQUAL "NONE")
    target_sources(${target} PRIVATE ${D_DEF})
  endif()
  target_link_options(${target} PRIVATE ${link})
  # Not even the compiler's support library: its helpers (64-bit division, stack
  # probes) are built for the i686, so a new need of one fails here at link time and
  # is written into kelvara_crt for the 80386 instead.
  # The shared library first: what it takes from the system comes after it.
  target_link_libraries(${target} PRIVATE kelvara_common kelvara_crt ${KELVARA_SYSTEM_LIBS})
  add_dependencies(kelvara_dist ${target})
endfunction()

# kelvara_dist_file(<target name> <source> <file name in dist>)
# Copies a data file (INF, INI) into build/dist. The sources hold the x86 INF
# files; other architectures get them with the NT sections' decoration rewritten,
# and every INF gets the project's version.
function(kelvara_dist_file name source dest)
  if(dest MATCHES "\\.INF$")
    add_custom_command(OUTPUT ${KELVARA_DIST_DIR}/${dest}
        COMMAND ${CMAKE_COMMAND} -DSOURCE=${source} -DDEST=${KELVARA_DIST_DIR}/${dest}
                -DDECORATION=${KELVARA_NT_DECORATION} -DVERSION=${PROJECT_VERSION}
                -P ${KELVARA_CMAKE_DIR}/inf_for_arch.cmake
        DEPENDS ${source} ${KELVARA_CMAKE_DIR}/inf_for_arch.cmake)
  else()
    add_custom_command(OUTPUT ${KELVARA_DIST_DIR}/${dest}
        COMMAND ${CMAKE_COMMAND} -E copy ${source} ${KELVARA_DIST_DIR}/${dest}
        DEPENDS ${source})
  endif()
  add_custom_target(${name} ALL DEPENDS ${KELVARA_DIST_DIR}/${dest})
  add_dependencies(kelvara_dist ${name})
endfunction()
