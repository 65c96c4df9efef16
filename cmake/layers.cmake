# The layers and the arrows between them.
#
# Each folder of the source tree is one layer. A library of a layer sees only its own folder and
# the folders of the libraries it links: its include path is a folder in the build tree that
# holds a single symbolic link, named like the source folder, to that folder. So
# `#include "config/image.h"` compiles only in a library that links a config/ library, and a
# library may link another only along an arrow of this table; anything else stops at configure
# time or at the #include.
#
# A new layer is one line here and one qz_layer_library() call in its folder.
set(QZ_LAYER_USES_link "")
set(QZ_LAYER_USES_doctor link)
set(QZ_LAYER_USES_cli "")
set(QZ_LAYER_USES_protocol link)
set(QZ_LAYER_USES_config protocol link)
set(QZ_LAYER_USES_session config protocol link)
set(QZ_LAYER_USES_ui session config protocol link report doctor)
set(QZ_LAYER_USES_sim config protocol link cli)
# The window of the simulated controller's lamps (qzsim --view), loaded only for --view.
set(QZ_LAYER_USES_view sim config protocol link cli)
# The sheet reads images (config/, whose shape comes from protocol/) and draws with Qt Gui.
set(QZ_LAYER_USES_report config protocol)
set(QZ_LAYER_USES_ctl session config protocol link cli report doctor)

# The include folder that shows one source folder and nothing beside it.
function(qz_layer_include_dir layer out_var)
  set(dir ${PROJECT_BINARY_DIR}/layers/${layer})
  set(target "")
  if(IS_SYMLINK ${dir}/${layer})
    file(READ_SYMLINK ${dir}/${layer} target)
  endif()
  # Made again when the source tree moved.
  if(NOT target STREQUAL ${PROJECT_SOURCE_DIR}/${layer})
    file(MAKE_DIRECTORY ${dir})
    file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${layer} ${dir}/${layer} SYMBOLIC)
  endif()
  set(${out_var} ${dir} PARENT_SCOPE)
endfunction()

# qz_layer_library(<target> SOURCES <files...> [LINKS <libraries...>])
#
# A static library of the layer named by the current folder. LINKS lists what it uses: our own
# libraries (checked against the table above) and outside ones such as Qt6::Core, which pass as
# they are. Links are public, because a layer's headers may include the headers of what it uses.
function(qz_layer_library target)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "" "SOURCES;LINKS")
  get_filename_component(layer ${CMAKE_CURRENT_SOURCE_DIR} NAME)
  if(NOT DEFINED QZ_LAYER_USES_${layer})
    message(FATAL_ERROR "${target}: folder ${layer}/ is not a layer; add it to cmake/layers.cmake")
  endif()
  foreach(lib IN LISTS arg_LINKS)
    if(TARGET ${lib})
      get_target_property(used ${lib} QZ_LAYER)
      if(used AND NOT used STREQUAL layer AND NOT used IN_LIST QZ_LAYER_USES_${layer})
        message(FATAL_ERROR "${target}: layer ${layer}/ may not use ${used}/ (${lib}); "
                            "it may use: ${QZ_LAYER_USES_${layer}}")
      endif()
    endif()
  endforeach()
  add_library(${target} STATIC ${arg_SOURCES})
  set_target_properties(${target} PROPERTIES QZ_LAYER ${layer})
  qz_layer_include_dir(${layer} include_dir)
  target_include_directories(${target} PUBLIC ${include_dir})
  target_link_libraries(${target} PUBLIC ${arg_LINKS})
endfunction()
