# Checks that the release zip is reproducible: the PE files carry no link timestamp, and packing
# twice from copies with different file times gives the same bytes.
#   cmake <make-zip.cmake's -D...> -DWORK=folder -DMAKE_ZIP=make-zip.cmake -P check-package.cmake

# TimeDateStamp of the COFF header: four bytes, eight after the "PE\0\0" signature.
function(pe_timestamp file out)
  file(READ "${file}" offset_hex OFFSET 60 LIMIT 4 HEX)
  string(SUBSTRING "${offset_hex}" 0 2 b0)
  string(SUBSTRING "${offset_hex}" 2 2 b1)
  math(EXPR pe "0x${b1}${b0}")
  math(EXPR stamp_at "${pe} + 8")
  file(READ "${file}" stamp OFFSET ${stamp_at} LIMIT 4 HEX)
  set(${out} "${stamp}" PARENT_SCOPE)
endfunction()

foreach(dll "${ZARNITH_DLL}" "${ONIG_DLL}")
  pe_timestamp("${dll}" stamp)
  if(NOT stamp STREQUAL "00000000")
    message(FATAL_ERROR "${dll} has a link timestamp (${stamp})")
  endif()
endforeach()

file(REMOVE_RECURSE "${WORK}")
set(zips)
foreach(run 1 2)
  set(copies "${WORK}/copies${run}")
  file(MAKE_DIRECTORY "${copies}")
  foreach(var ZARNITH_DLL ONIG_DLL README LICENSE ONIG_COPYING)
    get_filename_component(name "${${var}}" NAME)
    file(COPY_FILE "${${var}}" "${copies}/${var}-${name}")
    set(${var}_COPY "${copies}/${var}-${name}")
  endforeach()
  # The second set of copies is newer and differently named: neither may show in the zip.
  if(run EQUAL 2)
    execute_process(COMMAND touch -d "2031-06-15 12:34:56" ${ZARNITH_DLL_COPY} ${ONIG_DLL_COPY} ${README_COPY})
  endif()
  execute_process(COMMAND ${CMAKE_COMMAND} -DZIP_PROGRAM=${ZIP_PROGRAM} -DZARNITH_DLL=${ZARNITH_DLL_COPY}
                          -DONIG_DLL=${ONIG_DLL_COPY} -DREADME=${README_COPY} -DLICENSE=${LICENSE_COPY}
                          -DONIG_COPYING=${ONIG_COPYING_COPY} -DSTAGING=${WORK}/staging${run}
                          -DOUTPUT=${WORK}/package${run}.zip -P ${MAKE_ZIP}
                  RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "packing run ${run} failed")
  endif()
  list(APPEND zips "${WORK}/package${run}.zip")
endforeach()

list(GET zips 0 first)
list(GET zips 1 second)
file(SHA256 "${first}" sum1)
file(SHA256 "${second}" sum2)
if(NOT sum1 STREQUAL sum2)
  message(FATAL_ERROR "the two zips differ: ${sum1} / ${sum2}")
endif()
file(REMOVE_RECURSE "${WORK}")
message(STATUS "reproducible: sha256 ${sum1}")
