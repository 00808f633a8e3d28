#!/usr/bin/env bash
# Takes the pictures that zhost's SCREENSHOT word asks for: waits for FOLDER/screenshot.request,
# photographs the X display ($DISPLAY) into FOLDER/<name>.png and removes the request. Runs until
# it is stopped (by its PID) or FOLDER/stop appears.
#   scripts/screenshots.sh FOLDER
set -u
folder=$1
request="$folder/screenshot.request"
while [ ! -e "$folder/stop" ]; do
  if [ -e "$request" ]; then
    name=$(tr -cd 'A-Za-z0-9_.-' < "$request")
    # Let Wine's console window finish painting what was just written.
    sleep 0.5
    # The whole display, cut to what is on it (the console window) with a small margin.
    import -window root png:- 2> /dev/null \
      | convert - -trim +repage -bordercolor black -border 8 "$folder/${name:-screenshot}.png" > /dev/null 2>&1 || true
    rm -f "$request"
  fi
  sleep 0.1
done
