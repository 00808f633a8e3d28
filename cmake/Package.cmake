# The release zips: `cmake --build build --target package_zip` gives
# build/ZARNITH-<version>-x64.zip with the DLLs (without debug information), the README and both
# licences, and build/ZARNITH-<version>-x64-symbols.zip with the DLLs' debug information; both
# byte for byte the same on every build of the same sources. The DLLs are the tested build's, so
# the shipped code is the code the tests ran.
find_program(ZARNITH_ZIP_PROGRAM zip)

set(ZARNITH_PACKAGE "${CMAKE_BINARY_DIR}/ZARNITH-${PROJECT_VERSION}-x64.zip")
set(ZARNITH_SYMBOLS_PACKAGE "${CMAKE_BINARY_DIR}/ZARNITH-${PROJECT_VERSION}-x64-symbols.zip")
set(ZARNITH_ONIG_COPYING "${CMAKE_BINARY_DIR}/oniguruma/src/oniguruma_build/COPYING")
set(ZARNITH_PACKAGE_ARGS
  -DZIP_PROGRAM=${ZARNITH_ZIP_PROGRAM}
  -DOBJCOPY=${CMAKE_OBJCOPY}
  -DZARNITH_DLL=$<TARGET_FILE:ZARNITH>
  -DONIG_DLL=${ZARNITH_BIN_DIR}/onig.dll
  -DREADME=${CMAKE_SOURCE_DIR}/README.md
  -DLICENSE=${CMAKE_SOURCE_DIR}/LICENSE
  -DONIG_COPYING=${ZARNITH_ONIG_COPYING}
  -DSOURCE_DIR=${CMAKE_SOURCE_DIR})

add_custom_target(package_zip
  COMMAND ${CMAKE_COMMAND} ${ZARNITH_PACKAGE_ARGS} -DOUTPUT=${ZARNITH_PACKAGE}
          -DSYMBOLS_OUTPUT=${ZARNITH_SYMBOLS_PACKAGE} -DSTAGING=${CMAKE_BINARY_DIR}/package
          -P ${CMAKE_CURRENT_LIST_DIR}/make-zip.cmake
  BYPRODUCTS "${ZARNITH_PACKAGE}" "${ZARNITH_SYMBOLS_PACKAGE}"
  COMMENT "Packing ZARNITH-${PROJECT_VERSION}-x64.zip and its symbols"
  VERBATIM)
add_dependencies(package_zip ZARNITH onig_runtime)

if(ZARNITH_TESTS)
  # Packs twice from copies with different file times and compares; checks the PE headers, where
  # the debug information went, and that a README pointing outside the zip stops the packing.
  add_test(NAME package_reproducible
    COMMAND ${CMAKE_COMMAND} ${ZARNITH_PACKAGE_ARGS} -DOBJDUMP=${CMAKE_OBJDUMP} -DWORK=${CMAKE_BINARY_DIR}/package-check
            -DMAKE_ZIP=${CMAKE_CURRENT_LIST_DIR}/make-zip.cmake -P ${CMAKE_CURRENT_LIST_DIR}/check-package.cmake)
endif()
