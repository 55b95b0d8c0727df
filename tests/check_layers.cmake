# Fails when a source file includes a header of a folder above its own.
# Folders stack as platform < core < files < net < install < graphics < widgets < shell < wizard;
# simfeatures and support sit beside graphics: they may include graphics and what lies below it,
# and widgets, shell and wizard may include them.
# Run: cmake -DROOT=<source folder> -P check_layers.cmake
set(rank_platform 0)
set(rank_core 1)
set(rank_files 2)
set(rank_net 3)
set(rank_install 4)
set(rank_graphics 5)
set(rank_simfeatures 6)
set(rank_support 6)
set(rank_widgets 7)
set(rank_shell 8)
set(rank_wizard 9)
set(layers platform core files net install graphics simfeatures support widgets shell wizard)

set(bad "")
foreach(layer ${layers})
  file(GLOB_RECURSE sources ${ROOT}/${layer}/*.h ${ROOT}/${layer}/*.hpp ${ROOT}/${layer}/*.cpp ${ROOT}/${layer}/*.c)
  foreach(src ${sources})
    file(STRINGS ${src} includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"[a-z_]+/")
    foreach(inc ${includes})
      string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([a-z_]+)/.*" "\\1" target "${inc}")
      if(DEFINED rank_${target} AND NOT target STREQUAL layer
         AND NOT rank_${target} LESS rank_${layer})
        file(RELATIVE_PATH rel ${ROOT} ${src})
        string(APPEND bad "  ${rel}: ${inc}\n")
      endif()
    endforeach()
  endforeach()
endforeach()

if(bad)
  message(FATAL_ERROR "Includes of a higher folder's header:\n${bad}")
endif()
message(STATUS "No include leads to a higher folder.")
