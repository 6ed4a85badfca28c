# The modules of the program in layers, each using only those below it:
#
#   common <- task <- thermo <- results <- core <- app, ui
#
# A source file of a module may include the headers of its own module and of the
# modules below it, never those of a module above (app may include ui: it starts the
# windows).  Run as: cmake -DKVIL_SOURCE_DIR=<source tree> -P layering.cmake; every
# include that points upward is named, and the script fails.
set(allowed_common common)
set(allowed_task common task)
set(allowed_thermo common task thermo)
set(allowed_results common task thermo results)
set(allowed_core common task thermo results core)
set(allowed_ui common task thermo results core ui)
set(allowed_app common task thermo results core ui app)
set(modules common task thermo results core ui app)

set(upward 0)
foreach(module ${modules})
  file(GLOB_RECURSE sources ${KVIL_SOURCE_DIR}/${module}/*.h ${KVIL_SOURCE_DIR}/${module}/*.cpp)
  foreach(source ${sources})
    file(STRINGS ${source} includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"[a-z_]+/")
    foreach(line ${includes})
      string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([a-z_]+)/.*" "\\1" target "${line}")
      list(FIND modules ${target} known)
      list(FIND allowed_${module} ${target} ok)
      if(known GREATER -1 AND ok EQUAL -1)
        file(RELATIVE_PATH where ${KVIL_SOURCE_DIR} ${source})
        message("${where} (${module}) includes ${target}/: ${line}")
        math(EXPR upward "${upward} + 1")
      endif()
    endforeach()
  endforeach()
endforeach()

if(upward GREATER 0)
  message(FATAL_ERROR "${upward} include(s) point upward in the layers of the modules")
endif()
message(STATUS "The includes of ${modules} point downward only")
