# Packs the release zip reproducibly: fixed names, order, file times and modes, and no extra
# fields (owner ids, local times) that differ between machines.
#   cmake -DZIP_PROGRAM= -DZARNITH_DLL= -DONIG_DLL= -DREADME= -DLICENSE= -DONIG_COPYING=
#         -DSTAGING=folder -DOUTPUT=file.zip -P make-zip.cmake
foreach(var ZIP_PROGRAM ZARNITH_DLL ONIG_DLL README LICENSE ONIG_COPYING STAGING OUTPUT)
  if(NOT ${var})
    message(FATAL_ERROR "make-zip: ${var} not set (is the zip program installed?)")
  endif()
endforeach()

# Name in the zip, then the file it comes from; this is also the order in the zip.
set(entries
  ZARNITH.dll "${ZARNITH_DLL}"
  onig.dll "${ONIG_DLL}"
  README.md "${README}"
  LICENSE "${LICENSE}"
  LICENSE-Oniguruma "${ONIG_COPYING}")

file(REMOVE_RECURSE "${STAGING}")
file(MAKE_DIRECTORY "${STAGING}")
set(names)
list(LENGTH entries count)
math(EXPR last "${count} - 1")
foreach(i RANGE 0 ${last} 2)
  math(EXPR j "${i} + 1")
  list(GET entries ${i} name)
  list(GET entries ${j} source)
  if(NOT EXISTS "${source}")
    message(FATAL_ERROR "make-zip: ${source} is missing")
  endif()
  file(COPY_FILE "${source}" "${STAGING}/${name}")
  file(CHMOD "${STAGING}/${name}" PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
  list(APPEND names "${name}")
endforeach()

# The README's picture lives in docs/, which the zip does not hold: the packaged README goes
# without the parts marked <!-- picture --> ... <!-- /picture -->, and may point nowhere else there.
file(READ "${STAGING}/README.md" readme)
set(open_mark "<!-- picture -->")
set(close_mark "<!-- /picture -->")
string(LENGTH "${close_mark}" close_length)
string(FIND "${readme}" "${open_mark}" from)
string(FIND "${readme}" "${close_mark}" to)
while(from GREATER -1 AND to GREATER from)
  math(EXPR after "${to} + ${close_length} + 1")
  string(SUBSTRING "${readme}" 0 ${from} head)
  string(SUBSTRING "${readme}" ${after} -1 tail)
  set(readme "${head}${tail}")
  string(FIND "${readme}" "${open_mark}" from)
  string(FIND "${readme}" "${close_mark}" to)
endwhile()
if(readme MATCHES "\\]\\(docs/")
  message(FATAL_ERROR "make-zip: the packaged README.md still points into docs/, which the zip does not hold")
endif()
file(WRITE "${STAGING}/README.md" "${readme}")

# The release date of the version stands for every file's time.
execute_process(COMMAND touch -d "2026-01-01 00:00:00 UTC" ${names}
  WORKING_DIRECTORY "${STAGING}" RESULT_VARIABLE touched)
if(NOT touched EQUAL 0)
  message(FATAL_ERROR "make-zip: touch failed")
endif()

file(REMOVE "${OUTPUT}")
# -X: no owner ids or extra time fields; -D: no folder entries; TZ: the DOS times in the zip are
# local times, so pin the zone.
execute_process(COMMAND ${CMAKE_COMMAND} -E env TZ=UTC "${ZIP_PROGRAM}" -X -D -q -9 "${OUTPUT}" ${names}
  WORKING_DIRECTORY "${STAGING}" RESULT_VARIABLE zipped)
if(NOT zipped EQUAL 0)
  message(FATAL_ERROR "make-zip: zip failed (${zipped})")
endif()
file(SHA256 "${OUTPUT}" sum)
message(STATUS "${OUTPUT}: sha256 ${sum}")
