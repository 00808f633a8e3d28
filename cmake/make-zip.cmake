# Packs the release zips reproducibly: fixed names, order, file times and modes, and no extra
# fields (owner ids, local times) that differ between machines.
#   cmake -DZIP_PROGRAM= -DOBJCOPY= -DZARNITH_DLL= -DONIG_DLL= -DREADME= -DLICENSE= -DONIG_COPYING=
#         -DSOURCE_DIR= -DSTAGING=folder -DOUTPUT=file.zip -DSYMBOLS_OUTPUT=file.zip -P make-zip.cmake
# OUTPUT gets the DLLs without their debug information and the README's parts for users;
# SYMBOLS_OUTPUT gets the debug information as ZARNITH.dll.debug and onig.dll.debug, which each
# shipped DLL names in a debug link. Each zip's files are staged in STAGING/<zip name without .zip>.
# SOURCE_DIR is the repository, whose other files and folders the packed README may not name.
cmake_minimum_required(VERSION 3.25)
foreach(var ZIP_PROGRAM OBJCOPY ZARNITH_DLL ONIG_DLL README LICENSE ONIG_COPYING SOURCE_DIR STAGING OUTPUT SYMBOLS_OUTPUT)
  if(NOT ${var})
    message(FATAL_ERROR "make-zip: ${var} not set (are zip and binutils installed?)")
  endif()
endforeach()
include("${CMAKE_CURRENT_LIST_DIR}/pe-timestamp.cmake")
include("${CMAKE_CURRENT_LIST_DIR}/zip-readme.cmake")

file(REMOVE_RECURSE "${STAGING}")
get_filename_component(plugin_dir "${OUTPUT}" NAME_WLE)
get_filename_component(symbols_dir "${SYMBOLS_OUTPUT}" NAME_WLE)
set(plugin_dir "${STAGING}/${plugin_dir}")
set(symbols_dir "${STAGING}/${symbols_dir}")
file(MAKE_DIRECTORY "${plugin_dir}" "${symbols_dir}")

# The README first: a README that points outside the zip stops the packing before anything is split or zipped.
set(plugin_names ZARNITH.dll onig.dll README.md LICENSE LICENSE-Oniguruma)
file(GLOB repo_names LIST_DIRECTORIES false RELATIVE "${SOURCE_DIR}" "${SOURCE_DIR}/*")
file(GLOB repo_folders LIST_DIRECTORIES true RELATIVE "${SOURCE_DIR}" "${SOURCE_DIR}/*")
list(REMOVE_ITEM repo_folders ${repo_names})
list(TRANSFORM repo_folders APPEND "/")
# The presets' build folders, which a fresh clone does not have yet.
list(APPEND repo_folders build/ build-hardened/)
list(REMOVE_DUPLICATES repo_folders)
zip_readme(SOURCE "${README}" OUTPUT "${plugin_dir}/README.md" ZIP_NAMES ${plugin_names}
  REPO_NAMES ${repo_names} ${repo_folders})

# Splits `source` into symbols_dir/<name>.debug (debug information and symbol table) and
# plugin_dir/<name> (everything else, plus a debug link: the .debug file's name and CRC).
# objcopy stamps the PE header with the current time unless SOURCE_DATE_EPOCH says otherwise.
function(split_debug source name)
  set(debug "${symbols_dir}/${name}.debug")
  set(objcopy ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=0 "${OBJCOPY}")
  execute_process(COMMAND ${objcopy} --only-keep-debug "${source}" "${debug}" RESULT_VARIABLE kept)
  execute_process(COMMAND ${objcopy} --strip-all "--add-gnu-debuglink=${debug}" "${source}" "${plugin_dir}/${name}"
    RESULT_VARIABLE stripped)
  if(NOT kept EQUAL 0 OR NOT stripped EQUAL 0)
    message(FATAL_ERROR "make-zip: objcopy failed on ${source}")
  endif()
  require_no_pe_timestamp("${debug}" "${plugin_dir}/${name}")
endfunction()

# Copies the (name, source) pairs in ARGN into `dir` with fixed times and modes and zips them in
# that order into `output`.
function(pack dir output)
  set(names)
  list(LENGTH ARGN count)
  math(EXPR last "${count} - 1")
  foreach(i RANGE 0 ${last} 2)
    math(EXPR j "${i} + 1")
    list(GET ARGN ${i} name)
    list(GET ARGN ${j} source)
    if(NOT EXISTS "${source}")
      message(FATAL_ERROR "make-zip: ${source} is missing")
    endif()
    if(NOT source STREQUAL "${dir}/${name}")
      file(COPY_FILE "${source}" "${dir}/${name}")
    endif()
    file(CHMOD "${dir}/${name}" PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
    list(APPEND names "${name}")
  endforeach()

  # The release date of the version stands for every file's time.
  execute_process(COMMAND touch -d "2026-01-01 00:00:00 UTC" ${names}
    WORKING_DIRECTORY "${dir}" RESULT_VARIABLE touched)
  if(NOT touched EQUAL 0)
    message(FATAL_ERROR "make-zip: touch failed")
  endif()

  file(REMOVE "${output}")
  # -X: no owner ids or extra time fields; -D: no folder entries; TZ: the DOS times in the zip are
  # local times, so pin the zone.
  execute_process(COMMAND ${CMAKE_COMMAND} -E env TZ=UTC "${ZIP_PROGRAM}" -X -D -q -9 "${output}" ${names}
    WORKING_DIRECTORY "${dir}" RESULT_VARIABLE zipped)
  if(NOT zipped EQUAL 0)
    message(FATAL_ERROR "make-zip: zip failed (${zipped})")
  endif()
  file(SHA256 "${output}" sum)
  message(STATUS "${output}: sha256 ${sum}")
endfunction()

split_debug("${ZARNITH_DLL}" ZARNITH.dll)
split_debug("${ONIG_DLL}" onig.dll)
file(SIZE "${plugin_dir}/ZARNITH.dll" zarnith_size)
file(SIZE "${plugin_dir}/onig.dll" onig_size)
message(STATUS "ZARNITH.dll ${zarnith_size} bytes, onig.dll ${onig_size} bytes")

# Name in the zip, then the file it comes from; this is also the order in the zip.
pack("${plugin_dir}" "${OUTPUT}"
  ZARNITH.dll "${plugin_dir}/ZARNITH.dll"
  onig.dll "${plugin_dir}/onig.dll"
  README.md "${plugin_dir}/README.md"
  LICENSE "${LICENSE}"
  LICENSE-Oniguruma "${ONIG_COPYING}")
pack("${symbols_dir}" "${SYMBOLS_OUTPUT}"
  ZARNITH.dll.debug "${symbols_dir}/ZARNITH.dll.debug"
  onig.dll.debug "${symbols_dir}/onig.dll.debug"
  LICENSE "${LICENSE}"
  LICENSE-Oniguruma "${ONIG_COPYING}")
