# Sourced by the scripts that build: the build speaks only when it fails; its whole output is in
# DIR/build.log.
#   quiet_build DIR "what is being built" COMMAND [ARG...]
quiet_build() {
  local dir=$1 what=$2
  shift 2
  local log="$dir/build.log" first=""
  # A folder that was never configured gets everything built, Oniguruma and googletest included.
  [ -e "$dir/CMakeCache.txt" ] || first="the first build takes a few minutes; "
  mkdir -p "$dir"
  echo "Building $what (${first}log: $log) ..."
  if ! "$@" > "$log" 2>&1; then
    tail -40 "$log"
    echo "The build failed; the whole log is $log."
    exit 1
  fi
}
