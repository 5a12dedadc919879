#!/bin/sh
# Stands in for the user's web browser: records what the shell asked to open.
dir=${KORVANE_OPEN_LOG_DIR:-/tmp}
printf '%s\n' "$*" >>"$dir/korvane-opened.log"
