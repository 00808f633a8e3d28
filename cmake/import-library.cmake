# Makes an import library from a .def file with dlltool, leaving nothing outside OUTPUT's folder.
#   cmake -DDLLTOOL= -DDEF=file.def -DDLL=Name.dll -DOUTPUT=folder/libname.dll.a -P import-library.cmake
# dlltool leaves two empty temporary files behind on every run, in $TMPDIR (or /tmp): they go into
# a folder of this step's own beside the library, removed afterwards.
cmake_minimum_required(VERSION 3.25)
foreach(var DLLTOOL DEF DLL OUTPUT)
  if(NOT ${var})
    message(FATAL_ERROR "import-library: ${var} not set")
  endif()
endforeach()

get_filename_component(folder "${OUTPUT}" DIRECTORY)
get_filename_component(name "${OUTPUT}" NAME)
get_filename_component(stem "${OUTPUT}" NAME_WE)
set(scratch "${folder}/${stem}.tmp")
file(REMOVE_RECURSE "${scratch}")
file(MAKE_DIRECTORY "${scratch}")
set(ENV{TMPDIR} "${scratch}")
# A relative library name: dlltool builds symbol names from it, and they end up in the DLL.
execute_process(COMMAND "${DLLTOOL}" -d "${DEF}" -D "${DLL}" -l "${name}"
  WORKING_DIRECTORY "${folder}" RESULT_VARIABLE made)
file(REMOVE_RECURSE "${scratch}")
if(NOT made EQUAL 0)
  message(FATAL_ERROR "import-library: dlltool failed on ${DEF} (${made})")
endif()
