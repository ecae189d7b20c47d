# Resources of a module from its resource script (.rc).
#
#   orv_add_resources(<target> <script.rc>
#                     [DEPENDS <file or target>...]   # e.g. a data file made by the build
#                     [DEFINES <name[=value]>...]
#                     [INCLUDE_DIRS <dir>...])
#
# Files named in the script are looked for beside the script, in the
# current build folder and in INCLUDE_DIRS. On Windows the script is
# compiled by windres (the RC language) and linked into the target. On the
# host our own compiler (tools/rc) turns it into a C++ table that registers
# the resources for the module the target builds, where FindResourceW,
# LoadResource and LoadStringW find them; an error in the script fails the
# build with its file and line.
function(orv_add_resources target script)
  cmake_parse_arguments(ARG "" "" "DEPENDS;DEFINES;INCLUDE_DIRS" ${ARGN})
  get_filename_component(script ${script} ABSOLUTE)
  get_filename_component(script_dir ${script} DIRECTORY)
  set(include_dirs ${script_dir} ${CMAKE_CURRENT_BINARY_DIR} ${ARG_INCLUDE_DIRS})
  set(file_deps)
  set(target_deps)
  foreach(dep IN LISTS ARG_DEPENDS)
    if(TARGET ${dep})
      list(APPEND target_deps ${dep})
    else()
      get_filename_component(dep ${dep} ABSOLUTE BASE_DIR ${CMAKE_CURRENT_BINARY_DIR})
      list(APPEND file_deps ${dep})
    endif()
  endforeach()

  if(ORV_HOST)
    get_filename_component(stem ${script} NAME_WE)
    set(table ${CMAKE_CURRENT_BINARY_DIR}/${target}_${stem}_rc.cpp)
    set(args --cpp ${CMAKE_C_COMPILER} -I ${PROJECT_SOURCE_DIR}/hostwin/include)
    foreach(dir IN LISTS include_dirs)
      list(APPEND args -I ${dir})
    endforeach()
    foreach(define IN LISTS ARG_DEFINES)
      list(APPEND args -D ${define})
    endforeach()
    add_custom_command(
      OUTPUT ${table}
      COMMAND orv_rc ${args} -o ${table} --depfile ${table}.d ${script}
      DEPENDS orv_rc ${script} ${file_deps} ${target_deps}
      DEPFILE ${table}.d
      COMMENT "Compiling the resources of ${target} (${stem}.rc)"
      VERBATIM)
    target_sources(${target} PRIVATE ${table})
    target_link_libraries(${target} PRIVATE hw_kernel32)
  else()
    target_sources(${target} PRIVATE ${script})
    set_source_files_properties(${script} PROPERTIES
      INCLUDE_DIRECTORIES "${include_dirs}"
      COMPILE_DEFINITIONS "${ARG_DEFINES}"
      OBJECT_DEPENDS "${file_deps}")
    if(target_deps)
      add_dependencies(${target} ${target_deps})
    endif()
  endif()
endfunction()
