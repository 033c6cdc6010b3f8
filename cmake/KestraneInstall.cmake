# Installs the morph library for other projects: the layer libraries up to
# morph, the public header with the headers it reaches, and a CMake package
# (find_package(Kestrane), target Kestrane::kestrane). Included last by the
# top CMakeLists.txt, once every target exists.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

# project() carries no version yet; the package needs one.
set(KESTRANE_FALLBACK_VERSION 0.1.0)
if(CMAKE_PROJECT_VERSION)
  set(KESTRANE_PACKAGE_VERSION ${CMAKE_PROJECT_VERSION})
else()
  set(KESTRANE_PACKAGE_VERSION ${KESTRANE_FALLBACK_VERSION})
endif()

# The library is kestrane_morph and the layers it is built on, found by its
# links so that a layer added or moved below it is installed too. They stay
# separate archives: each already links the one it is built on, and merging
# them into one would need the layers rebuilt as object libraries.
set(installed_libraries "")
set(todo kestrane_morph)
while(todo)
  list(POP_FRONT todo lib)
  if(lib IN_LIST installed_libraries)
    continue()
  endif()
  list(APPEND installed_libraries ${lib})
  get_target_property(links ${lib} LINK_LIBRARIES)
  foreach(link ${links})
    if(link MATCHES "^kestrane_" AND TARGET ${link})
      list(APPEND todo ${link})
    endif()
  endforeach()
endwhile()
set(installed_layers "")
foreach(lib ${installed_libraries})
  string(REGEX REPLACE "^kestrane_" "" layer ${lib})
  list(APPEND installed_layers ${layer})
endforeach()

set(kestrane_include_dirs
  "$<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>"
  "$<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}/kestrane>")
# Static archives built with sanitizers need their runtimes where they are
# linked; the build tree gets them from add_link_options already.
get_directory_property(build_link_options DIRECTORY ${CMAKE_SOURCE_DIR} LINK_OPTIONS)
set(sanitizer_link_options ${build_link_options})
list(FILTER sanitizer_link_options INCLUDE REGEX "^-fsanitize=")

foreach(lib ${installed_libraries})
  # The layers' include roots are absolute build-tree paths: keep them for
  # the build tree only, and point the installed targets at the headers.
  get_target_property(dirs ${lib} INTERFACE_INCLUDE_DIRECTORIES)
  set(wrapped "")
  if(dirs)
    foreach(dir ${dirs})
      if(dir MATCHES "\\$<")
        list(APPEND wrapped "${dir}")
      else()
        list(APPEND wrapped "$<BUILD_INTERFACE:${dir}>")
      endif()
    endforeach()
  endif()
  set_property(TARGET ${lib} PROPERTY INTERFACE_INCLUDE_DIRECTORIES ${wrapped} ${kestrane_include_dirs})
  foreach(option ${sanitizer_link_options})
    target_link_options(${lib} INTERFACE "$<INSTALL_INTERFACE:${option}>")
  endforeach()
endforeach()

# What users link. The name kestrane is taken by the viewer program, so the
# target has another name here and is exported as Kestrane::kestrane.
add_library(kestrane_library INTERFACE)
target_link_libraries(kestrane_library INTERFACE kestrane_morph)
target_compile_features(kestrane_library INTERFACE cxx_std_17)
set_target_properties(kestrane_library PROPERTIES EXPORT_NAME kestrane)
add_library(Kestrane::kestrane ALIAS kestrane_library)

install(TARGETS ${installed_libraries} kestrane_library EXPORT KestraneTargets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
# Programs are installed when built; a library-only build installs without them.
foreach(program kestrane kestrane-batch kestrane-batch-video)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} OPTIONAL)
  endif()
endforeach()

# The headers the public header reaches through #include "...", resolved as
# the compiler does (the including file's folder, then the include roots),
# each as <file>|<path under include/kestrane>. Only those are installed, so
# the library's internals stay private; a reach outside the installed layers
# is an error here rather than a broken installed header.
function(kestrane_public_headers out)
  set(todo ${CMAKE_SOURCE_DIR}/include/kestrane/kestrane.h)
  set(seen "")
  set(found "")
  while(todo)
    list(POP_FRONT todo file)
    if(file IN_LIST seen)
      continue()
    endif()
    list(APPEND seen ${file})
    set_property(DIRECTORY ${CMAKE_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${file})
    file(RELATIVE_PATH rel ${CMAKE_SOURCE_DIR}/src ${file})
    string(REGEX MATCH "^[^/]+" layer "${rel}")
    string(FIND "${file}" "${CMAKE_SOURCE_DIR}/include/kestrane/" public_at)
    if(public_at EQUAL 0)
      file(RELATIVE_PATH rel ${CMAKE_SOURCE_DIR}/include/kestrane ${file})
    elseif(rel MATCHES "^\\.\\./" OR NOT layer IN_LIST installed_layers)
      message(FATAL_ERROR "The public header reaches ${file}, which is outside the installed layers")
    endif()
    list(APPEND found "${file}|${rel}")
    get_filename_component(here ${file} DIRECTORY)
    file(STRINGS ${file} lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
    foreach(line ${lines})
      string(REGEX REPLACE "^[^\"]*\"([^\"]+)\".*" "\\1" name "${line}")
      set(resolved "")
      foreach(base ${here} ${CMAKE_SOURCE_DIR}/src ${CMAKE_SOURCE_DIR}/include)
        if(EXISTS ${base}/${name})
          get_filename_component(resolved ${base}/${name} ABSOLUTE)
          break()
        endif()
      endforeach()
      if(NOT resolved)
        message(FATAL_ERROR "${file} includes \"${name}\", which is in no installed folder")
      endif()
      list(APPEND todo ${resolved})
    endforeach()
  endwhile()
  set(${out} ${found} PARENT_SCOPE)
endfunction()

kestrane_public_headers(public_headers)
foreach(entry ${public_headers})
  string(REPLACE "|" ";" parts "${entry}")
  list(GET parts 0 file)
  list(GET parts 1 rel)
  get_filename_component(rel_dir "${rel}" DIRECTORY)
  install(FILES ${file} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/kestrane/${rel_dir})
endforeach()

set(package_dir ${CMAKE_INSTALL_LIBDIR}/cmake/Kestrane)
install(EXPORT KestraneTargets NAMESPACE Kestrane:: DESTINATION ${package_dir})
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/KestraneConfig.cmake.in
  ${CMAKE_BINARY_DIR}/package/KestraneConfig.cmake
  INSTALL_DESTINATION ${package_dir})
# 0.x: a minor release may change the interface.
write_basic_package_version_file(${CMAKE_BINARY_DIR}/package/KestraneConfigVersion.cmake
  VERSION ${KESTRANE_PACKAGE_VERSION} COMPATIBILITY SameMinorVersion)
install(FILES ${CMAKE_BINARY_DIR}/package/KestraneConfig.cmake
  ${CMAKE_BINARY_DIR}/package/KestraneConfigVersion.cmake
  DESTINATION ${package_dir})

# Installs into a scratch prefix and builds a project against the package,
# with this build's compiler and flags (static archives need a matching
# toolchain).
if(NOT DEFINED BUILD_TESTING OR BUILD_TESTING)
  add_test(NAME install_consumer
    COMMAND sh ${CMAKE_SOURCE_DIR}/tests/consumer/run_consumer.sh ${CMAKE_BINARY_DIR} ${CMAKE_SOURCE_DIR}
      "-G${CMAKE_GENERATOR}"
      -DCMAKE_CXX_COMPILER=${CMAKE_CXX_COMPILER}
      -DCMAKE_BUILD_TYPE=${CMAKE_BUILD_TYPE}
      "-DCMAKE_CXX_FLAGS=${CMAKE_CXX_FLAGS}")
  set_tests_properties(install_consumer PROPERTIES LABELS install TIMEOUT 600)
endif()
