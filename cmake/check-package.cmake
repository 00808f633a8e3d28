# Checks the release zips: the built PE files carry no link timestamp; packing twice from copies
# with different names and file times gives the same bytes; the shipped DLLs hold no debug
# information but a link to it, and the symbols zip holds it; a README whose part for the zip
# points at the repository stops the packing, naming each such place.
#   cmake <make-zip.cmake's -D...> -DOBJDUMP= -DWORK=folder -DMAKE_ZIP=make-zip.cmake -P check-package.cmake
cmake_minimum_required(VERSION 3.25)
include("${CMAKE_CURRENT_LIST_DIR}/pe-timestamp.cmake")
require_no_pe_timestamp("${ZARNITH_DLL}" "${ONIG_DLL}")

file(REMOVE_RECURSE "${WORK}")
foreach(run 1 2)
  set(copies "${WORK}/copies${run}")
  file(MAKE_DIRECTORY "${copies}")
  foreach(var ZARNITH_DLL ONIG_DLL README LICENSE ONIG_COPYING)
    get_filename_component(name "${${var}}" NAME)
    file(COPY_FILE "${${var}}" "${copies}/${var}-${name}")
    set(${var}_COPY "${copies}/${var}-${name}")
  endforeach()
  # The second set of copies is newer and differently named: neither may show in the zips.
  if(run EQUAL 2)
    execute_process(COMMAND touch -d "2031-06-15 12:34:56" ${ZARNITH_DLL_COPY} ${ONIG_DLL_COPY} ${README_COPY})
  endif()
  execute_process(COMMAND ${CMAKE_COMMAND} -DZIP_PROGRAM=${ZIP_PROGRAM} -DOBJCOPY=${OBJCOPY}
                          -DZARNITH_DLL=${ZARNITH_DLL_COPY} -DONIG_DLL=${ONIG_DLL_COPY} -DREADME=${README_COPY}
                          -DLICENSE=${LICENSE_COPY} -DONIG_COPYING=${ONIG_COPYING_COPY} -DSOURCE_DIR=${SOURCE_DIR}
                          -DSTAGING=${WORK}/staging${run} -DOUTPUT=${WORK}/package${run}.zip
                          -DSYMBOLS_OUTPUT=${WORK}/symbols${run}.zip -P ${MAKE_ZIP}
                  RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "packing run ${run} failed")
  endif()
endforeach()

foreach(zip package symbols)
  file(SHA256 "${WORK}/${zip}1.zip" sum1)
  file(SHA256 "${WORK}/${zip}2.zip" sum2)
  if(NOT sum1 STREQUAL sum2)
    message(FATAL_ERROR "the two ${zip} zips differ: ${sum1} / ${sum2}")
  endif()
  message(STATUS "${zip} zip reproducible: sha256 ${sum1}")
endforeach()

# Section names as objdump lists them.
function(sections file out)
  execute_process(COMMAND "${OBJDUMP}" -h "${file}" OUTPUT_VARIABLE listing RESULT_VARIABLE dumped)
  if(NOT dumped EQUAL 0)
    message(FATAL_ERROR "objdump failed on ${file}")
  endif()
  string(REGEX MATCHALL "\n +[0-9]+ [^ ]+" names "${listing}")
  list(TRANSFORM names REPLACE "^\n +[0-9]+ " "")
  set(${out} "${names}" PARENT_SCOPE)
endfunction()

foreach(dll ZARNITH.dll onig.dll)
  sections("${WORK}/staging1/package1/${dll}" shipped)
  sections("${WORK}/staging1/symbols1/${dll}.debug" kept)
  list(FILTER shipped INCLUDE REGEX "^\\.debug_|^\\.gnu_debuglink$")
  if(NOT shipped STREQUAL ".gnu_debuglink")
    message(FATAL_ERROR "shipped ${dll}: expected a debug link and no debug sections, found: ${shipped}")
  endif()
  if(NOT ".debug_info" IN_LIST kept OR NOT ".debug_line" IN_LIST kept)
    message(FATAL_ERROR "${dll}.debug lacks debug information: ${kept}")
  endif()
endforeach()
# A README whose part for the zip points into the repository: packing stops and names each place;
# links to the zip's own files and to the web are fine.
file(READ "${README}" readme)
string(APPEND readme "\n<!-- zip -->\nSee [the demo](demo/demo.zs), `scripts/test.sh`, the file CMakeLists.txt and\n"
  "[the licence](LICENSE) on [the web](https://example.org/a/b).\n<!-- /zip -->\n")
file(WRITE "${WORK}/leaky/README.md" "${readme}")
execute_process(COMMAND ${CMAKE_COMMAND} -DZIP_PROGRAM=${ZIP_PROGRAM} -DOBJCOPY=${OBJCOPY} -DZARNITH_DLL=${ZARNITH_DLL}
                        -DONIG_DLL=${ONIG_DLL} -DREADME=${WORK}/leaky/README.md -DLICENSE=${LICENSE}
                        -DONIG_COPYING=${ONIG_COPYING} -DSOURCE_DIR=${SOURCE_DIR} -DSTAGING=${WORK}/leaky/staging
                        -DOUTPUT=${WORK}/leaky/package.zip -DSYMBOLS_OUTPUT=${WORK}/leaky/symbols.zip -P ${MAKE_ZIP}
                RESULT_VARIABLE result ERROR_VARIABLE complaint)
if(result EQUAL 0 OR EXISTS "${WORK}/leaky/package.zip")
  message(FATAL_ERROR "a README pointing into the repository was packed")
endif()
foreach(named "demo/demo.zs" "scripts/test.sh" "CMakeLists.txt")
  string(FIND "${complaint}" "${named}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "packing stopped without naming ${named}:\n${complaint}")
  endif()
endforeach()
foreach(fine "LICENSE" "example.org")
  string(FIND "${complaint}" "${fine}" at)
  if(at GREATER -1)
    message(FATAL_ERROR "packing complained of ${fine}, which the zip holds or which is on the web:\n${complaint}")
  endif()
endforeach()
file(REMOVE_RECURSE "${WORK}")
