# The one Oniguruma source the build accepts: Debian's libonig orig tarball of this version, with
# this SHA-256. scripts/setup-debian.sh reads the version from here too.
set(ZARNITH_ONIG_VERSION 6.9.8)
set(ZARNITH_ONIG_SHA256 26372720bab6733c869a9eb69377f73971138dc5e3eff4a81f5ba8aea5435fb2)
