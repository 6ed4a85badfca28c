# Rebuilds the species database from BUILDER, THERMO and SOURCES into OUT and checks
# that the three record files, the fit report and the species map equal the committed
# ones under COMMITTED (data/).
file(REMOVE_RECURSE ${OUT})
execute_process(
  COMMAND ${BUILDER} --thermo ${THERMO} --sources ${SOURCES} --out ${OUT}
          --report ${OUT}/fit-report.txt --map ${OUT}/species-map.csv
  RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "kvil-dbbuild failed (${rc})")
endif()
foreach(pair "Demo_1a.bas;db/Demo_1a.bas" "Demo_2a.bas;db/Demo_2a.bas"
             "Demo_3a.bas;db/Demo_3a.bas" "fit-report.txt;fit-report.txt"
             "species-map.csv;species-map.csv")
  list(GET pair 0 built)
  list(GET pair 1 committed)
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${OUT}/${built}
                          ${COMMITTED}/${committed} RESULT_VARIABLE diff)
  if(NOT diff EQUAL 0)
    message(FATAL_ERROR "${built} differs from data/${committed}: "
                        "run the kvil-db-regenerate target and commit the result")
  endif()
endforeach()
