# Cross-builds Oniguruma from Debian's source tarball (fetched by scripts/setup-debian.sh)
# into onig.dll plus its import library. Nothing of its source is kept in this repository.
include(ExternalProject)

include(${CMAKE_CURRENT_LIST_DIR}/onig-source.cmake)

if(DEFINED ENV{ZARNITH_ONIG_DIR})
  set(onig_dir "$ENV{ZARNITH_ONIG_DIR}")
else()
  set(onig_dir "/var/cache/zarnith")
endif()
set(ZARNITH_ONIG_TARBALL "${onig_dir}/libonig_${ZARNITH_ONIG_VERSION}.orig.tar.gz"
    CACHE FILEPATH "Debian's libonig ${ZARNITH_ONIG_VERSION} orig tarball")
if(NOT EXISTS "${ZARNITH_ONIG_TARBALL}")
  message(FATAL_ERROR "Oniguruma source not found at ${ZARNITH_ONIG_TARBALL}; run scripts/setup-debian.sh")
endif()
# Checked here with a message that says what to do (ExternalProject checks again when it unpacks);
# a replaced tarball re-runs the check at the next build.
file(SHA256 "${ZARNITH_ONIG_TARBALL}" onig_sha256)
if(NOT onig_sha256 STREQUAL ZARNITH_ONIG_SHA256)
  message(FATAL_ERROR "Oniguruma source ${ZARNITH_ONIG_TARBALL} is not the expected libonig "
    "${ZARNITH_ONIG_VERSION} orig tarball:\n"
    "  expected SHA-256 ${ZARNITH_ONIG_SHA256}\n"
    "  found    SHA-256 ${onig_sha256}\n"
    "Delete it and run scripts/setup-debian.sh to fetch it again. A new Oniguruma release needs "
    "its version and hash in cmake/onig-source.cmake.")
endif()
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${ZARNITH_ONIG_TARBALL}")

set(ONIG_PREFIX "${CMAKE_BINARY_DIR}/oniguruma")
ExternalProject_Add(oniguruma_build
  URL "${ZARNITH_ONIG_TARBALL}"
  URL_HASH SHA256=${ZARNITH_ONIG_SHA256}
  DOWNLOAD_EXTRACT_TIMESTAMP OFF
  PREFIX "${ONIG_PREFIX}"
  INSTALL_DIR "${ONIG_PREFIX}/install"
  CMAKE_ARGS
    -DCMAKE_TOOLCHAIN_FILE=${CMAKE_TOOLCHAIN_FILE}
    -DCMAKE_BUILD_TYPE=RelWithDebInfo
    -DCMAKE_INSTALL_PREFIX=<INSTALL_DIR>
    -DBUILD_SHARED_LIBS=ON
    -DINSTALL_DOCUMENTATION=OFF
    -DENABLE_POSIX_API=OFF
    -DCMAKE_PROJECT_INCLUDE=${CMAKE_CURRENT_LIST_DIR}/onig-naming.cmake
    "-DCMAKE_SHARED_LINKER_FLAGS=-static-libgcc -Wl,--no-insert-timestamp"
    # Its own sources are not ours to fix: -w keeps their warnings out of our build output.
    "-DCMAKE_C_FLAGS=-ffile-prefix-map=${ONIG_PREFIX}=. -w"
  BUILD_BYPRODUCTS "${ONIG_PREFIX}/install/lib/libonig.dll.a" "${ONIG_PREFIX}/install/bin/onig.dll"
)

file(MAKE_DIRECTORY "${ONIG_PREFIX}/install/include")
add_library(onig SHARED IMPORTED GLOBAL)
set_target_properties(onig PROPERTIES
  IMPORTED_IMPLIB "${ONIG_PREFIX}/install/lib/libonig.dll.a"
  IMPORTED_LOCATION "${ONIG_PREFIX}/install/bin/onig.dll"
  INTERFACE_INCLUDE_DIRECTORIES "${ONIG_PREFIX}/install/include")
add_dependencies(onig oniguruma_build)

# onig.dll sits next to ZARNITH.dll and the test programs.
add_custom_target(onig_runtime ALL
  COMMAND ${CMAKE_COMMAND} -E copy_if_different "${ONIG_PREFIX}/install/bin/onig.dll" "${ZARNITH_BIN_DIR}/onig.dll"
  DEPENDS oniguruma_build)
